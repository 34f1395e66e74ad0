// The library's system services under SYSVAR and RUN: listings with their records, copy and
// delete with a status, the environment, volumes and starting processes.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "test_sysvar_fixture.h"

namespace {

namespace fs = std::filesystem;
using services = sysvar_test;

TEST_F(services, ListingRecordsDescribeEachEntry) {
  fs::create_directory("List");
  write_file("List/b.txt", std::string(70000, 'b'));
  write_file("List/.hidden", "");
  fs::create_directory("List/a_dir");
  std::vector<std::string> names;
  std::vector<qn_directory_record> records;
  int status = -7;
  GET_DIRECTORY_LIST("list\\*", names, &records, &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(names, (std::vector<std::string>{".hidden", "a_dir", "b.txt"}));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].attributes & 0x02, 0x02);  // dot names are hidden
  EXPECT_EQ(records[1].attributes & 0x10, 0x10);
  EXPECT_EQ(records[1].attributes & 0x20, 0);
  EXPECT_EQ(records[2].attributes, 0x20);
  EXPECT_EQ(records[2].size_low, 70000u);
  EXPECT_EQ(records[2].size_high, 0u);
  EXPECT_EQ(records[2].long_name, "b.txt");
  EXPECT_GE(records[2].written.year, 2020);
  EXPECT_GE(records[2].written.month, 1);
  EXPECT_LE(records[2].written.month, 12);
  // Names only, and an empty last component.
  GET_DIRECTORY_LIST("List/B.*", names);
  EXPECT_EQ(names, std::vector<std::string>{"b.txt"});
  GET_DIRECTORY_LIST("List/", names, &records, &status);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(records.empty());
}

TEST_F(services, CopyKeepsAnExistingDestinationWhenAsked) {
  write_file("src", "new");
  write_file("dst", "old");
  int status = -7;
  EXPECT_EQ(copy_file("src", "dst", {.fail_if_exists = true, .status = &status}), 0);
  EXPECT_EQ(status, EEXIST);
  EXPECT_EQ(read_file("dst"), "old");
  EXPECT_EQ(copy_file("src", "dst", {.status = &status}), 1);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(read_file("dst"), "new");
  EXPECT_EQ(copy_file("nothing", "dst", {.status = &status}), 0);
  EXPECT_EQ(status, ENOENT);
  EXPECT_EQ(delete_file("nothing", &status), 0);
  EXPECT_EQ(status, ENOENT);
  EXPECT_NE(delete_file("dst", &status), 0);
  EXPECT_EQ(status, 0);
}

TEST_F(services, EnvironmentWithStatus) {
  int status = -7;
  SET_ENVIRONMENT_VARIABLE("WINKYR_SVC_A   ", "x y   ", &status);
  EXPECT_EQ(status, 0);
  std::string value;
  GET_ENVIRONMENT_VARIABLE("WINKYR_SVC_A", value, &status);
  EXPECT_EQ(value, "x y");
  // A name with "=" or no name at all is refused.
  SET_ENVIRONMENT_VARIABLE("A=B", "v", &status);
  EXPECT_NE(status, 0);
  SET_ENVIRONMENT_VARIABLE("   ", "v", &status);
  EXPECT_NE(status, 0);
  // Code page 1252 on the inside, UTF-8 in the environment.
  SET_ENVIRONMENT_VARIABLE("WINKYR_SVC_B", "gr\xFC\xDF", &status);
  EXPECT_STREQ(std::getenv("WINKYR_SVC_B"), "gr\xC3\xBC\xC3\x9F");
  GET_ENVIRONMENT_VARIABLE("WINKYR_SVC_B", value);
  EXPECT_EQ(value, "gr\xFC\xDF");
  ::unsetenv("WINKYR_SVC_A");
  ::unsetenv("WINKYR_SVC_B");
}

TEST_F(services, CurrentDirectoryStatus) {
  int status = -7;
  SET_CURRENT_DIRECTORY("missing_dir", &status);
  EXPECT_EQ(status, ENOENT);
  write_file("plain", "");
  SET_CURRENT_DIRECTORY("plain", &status);
  EXPECT_EQ(status, ENOTDIR);
  std::string path;
  GET_CURRENT_DIRECTORY(path, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(path, fs::current_path().string());
}

TEST_F(services, VolumeOfADriveRootIsTheRootFileSystem) {
  struct stat st{};
  ASSERT_EQ(::stat("/", &st), 0);
  uint32_t drive = 1, root = 2, length = 0;
  int status = -7;
  GET_VOLUME_INFORMATION("c:\\", {.serial = &drive, .max_component = &length, .status = &status});
  EXPECT_EQ(status, 0);
  GET_VOLUME_INFORMATION("/", {.serial = &root});
  EXPECT_EQ(drive, root);
  EXPECT_GE(length, 255u);
  std::string label = "stale";
  GET_VOLUME_INFORMATION("/no/such/root", {.name = &label, .status = &status});
  EXPECT_EQ(status, ENOENT);
  EXPECT_EQ(label, "");
}

TEST_F(services, SpawnWaitsWhenAsked) {
  int status = -7;
  SPAWN_PROCESS("/bin/sh -c \"echo done > spawned.txt\"   ", true, 1, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(read_file("spawned.txt"), "done\n");  // in the current directory, finished
  SPAWN_PROCESS("/bin/sh -c \"sleep 0.2; echo late > detached.txt\"", false, 1, &status);
  EXPECT_EQ(status, 0);
  for (int i = 0; i < 100 && read_file("detached.txt").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(read_file("detached.txt"), "late\n");
  SPAWN_PROCESS("./no_such_program_here", true, 1, &status);
  EXPECT_NE(status, 0);
  SPAWN_PROCESS("   ", true, 1, &status);
  EXPECT_NE(status, 0);
}

// "explorer PAGE" asks the desktop to open the page; a page that is not there fails at once,
// and so does "explorer" without a page.
TEST_F(services, ExplorerOpensOnlyExistingDocuments) {
  int status = 0;
  SPAWN_PROCESS("explorer help\\htdocs\\nothere.html", false, 1, &status);
  EXPECT_NE(status, 0);
  status = 0;
  SPAWN_PROCESS("explorer", false, 1, &status);
  EXPECT_NE(status, 0);
}

}  // namespace
