// The row store: allocation of list stores, growth, sorting and the reported misuse.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_list_fixture.h"

using row_store_test = list_test;

namespace {
std::string record(int32_t h, int32_t r) {
  int32_t length = 0, records = 0;
  xmm_info(h, length, records);
  std::string text(static_cast<size_t>(length), '?');
  xmm_get(h, text.data(), r);
  return text;
}
void put(int32_t h, int32_t r, std::string text) {
  int32_t length = 0, records = 0;
  xmm_info(h, length, records);
  text.resize(static_cast<size_t>(length), ' ');
  xmm_put(h, text.data(), r);
}
}  // namespace

TEST_F(row_store_test, AllocateListGivesOneBlankRowOfCapacityTwenty) {
  int32_t status = -1;
  allocate_xmm(3, 0, 80, status);
  EXPECT_EQ(status, 0);
  int32_t length = 0, records = 0;
  xmm_info(13, length, records);
  EXPECT_EQ(length, 80);
  EXPECT_EQ(records, 20);
  EXPECT_EQ(list_of(3).count, 1);
  EXPECT_EQ(list_of(3).cursor, 0);
  EXPECT_EQ(list_of(3).edit_rows, 32000);
  EXPECT_TRUE(list_of(3).nul_cut);
  EXPECT_EQ(record(13, 1), std::string(80, ' '));
  EXPECT_EQ(list_table.current, 3);
}

TEST_F(row_store_test, NegativeListNumberClearsNulCutAndLengthsAreLimited) {
  int32_t status = -1;
  list_of(2).nul_cut = true;
  list_of(2).mark_mode = true;
  allocate_xmm(-2, 5, 700, status);
  EXPECT_EQ(status, 0);
  int32_t length = 0, records = 0;
  xmm_info(12, length, records);
  EXPECT_EQ(length, 512);
  EXPECT_EQ(records, 20);
  EXPECT_EQ(list_of(2).count, 5);
  EXPECT_FALSE(list_of(2).nul_cut);
  EXPECT_FALSE(list_of(2).mark_mode);
  for (int32_t r = 1; r <= 5; ++r) EXPECT_EQ(record(12, r), std::string(512, ' '));

  allocate_xmm(4, 30, 5, status);
  xmm_info(14, length, records);
  EXPECT_EQ(length, 20);
  EXPECT_EQ(records, 30);
}

TEST_F(row_store_test, ReallocationKeepsOrReplacesTheArray) {
  int32_t status = -1;
  allocate_xmm(3, 3, 40, status);
  put(13, 1, "first");
  put(13, 21, "grown");  // capacity 20 -> 40
  int32_t length = 0, records = 0;
  xmm_info(13, length, records);
  ASSERT_EQ(records, 40);

  // Same length, count within the capacity: the larger array stays, rows 1..count are blanked.
  allocate_xmm(3, 25, 40, status);
  xmm_info(13, length, records);
  EXPECT_EQ(records, 40);
  EXPECT_EQ(record(13, 1), std::string(40, ' '));
  EXPECT_EQ(record(13, 21), std::string(40, ' '));
  EXPECT_EQ(list_of(3).count, 25);

  // More rows than the capacity: a new array of exactly that many records.
  allocate_xmm(3, 50, 40, status);
  xmm_info(13, length, records);
  EXPECT_EQ(records, 50);
  // Another length: a new array.
  allocate_xmm(3, 2, 60, status);
  xmm_info(13, length, records);
  EXPECT_EQ(length, 60);
  EXPECT_EQ(records, 20);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(row_store_test, ListNumbersOutsideOneToSixChangeNothing) {
  int32_t status = 77;
  allocate_xmm(0, 5, 40, status);
  allocate_xmm(7, 5, 40, status);
  allocate_xmm(-7, 5, 40, status);
  EXPECT_EQ(status, 77);
  for (int32_t h = 1; h <= 20; ++h) {
    int32_t length = -1, records = -1;
    xmm_info(h, length, records);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(records, 0);
  }
  for (int32_t n = 1; n <= 6; ++n) EXPECT_EQ(list_of(n).count, 0);
}

TEST_F(row_store_test, WritingPastTheCapacityGrowsByTwentyAndKeepsRecords) {
  int32_t status = -1;
  xmm_allocate(5, 10, 20, status);
  ASSERT_EQ(status, 0);
  for (int32_t r = 1; r <= 20; ++r) put(5, r, "row" + std::to_string(r));
  put(5, 21, "row21");
  int32_t length = 0, records = 0;
  xmm_info(5, length, records);
  EXPECT_EQ(records, 40);
  EXPECT_EQ(length, 10);
  for (int32_t r = 1; r <= 21; ++r) EXPECT_EQ(record(5, r), padded("row" + std::to_string(r), 10));
  EXPECT_EQ(record(5, 22), std::string(10, ' '));  // grown records read as blanks

  // Far past the capacity: grown in steps of 20 until the record fits.
  put(5, 95, "far");
  xmm_info(5, length, records);
  EXPECT_EQ(records, 100);
  EXPECT_EQ(record(5, 95), padded("far", 10));
  EXPECT_EQ(record(5, 20), padded("row20", 10));
}

TEST_F(row_store_test, InfoOfFreeAndBadHandlesIsZero) {
  int32_t length = -1, records = -1;
  xmm_info(7, length, records);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(records, 0);
  length = records = -1;
  xmm_info(21, length, records);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(records, 0);
  xmm_info(0, length, records);
  EXPECT_EQ(records, 0);
}

TEST_F(row_store_test, SortIsByUnsignedBytes) {
  int32_t status = -1;
  xmm_allocate(3, 2, 20, status);
  put(3, 1, "B");
  put(3, 2, "B");
  put(3, 3, "A");
  xmm_sort(3, 3);
  EXPECT_EQ(record(3, 1), "A ");
  EXPECT_EQ(record(3, 2), "B ");
  EXPECT_EQ(record(3, 3), "B ");

  put(3, 1, "b");
  put(3, 2, "C");
  xmm_sort(3, 2);
  EXPECT_EQ(record(3, 1), "C ");
  EXPECT_EQ(record(3, 2), "b ");

  // Bytes above 127 sort after ASCII (unsigned comparison).
  put(3, 1, "\xE4");
  put(3, 2, "z");
  xmm_sort(3, 2);
  EXPECT_EQ(record(3, 1), "z ");
  EXPECT_EQ(record(3, 2), "\xE4 ");
}

TEST_F(row_store_test, ManyRowsSortLikeTheirBytesWithDuplicatesAndRowsPastTheCount) {
  int32_t status = 0;
  xmm_allocate(5, 6, 20, status);
  ASSERT_EQ(status, 0);
  std::vector<std::string> rows;
  uint32_t seed = 7;
  for (int32_t r = 1; r <= 3000; ++r) {
    seed = seed * 1103515245u + 12345u;
    std::string row = std::to_string(seed % 500);  // many duplicates
    row.resize(6, ' ');
    row[5] = static_cast<char>(0x80 + seed % 3);
    rows.push_back(row);
    put(5, r, row);
  }
  xmm_sort(5, 2990);  // the last ten rows stay where they are
  std::sort(rows.begin(), rows.begin() + 2990, [](const std::string& a, const std::string& b) {
    return std::memcmp(a.data(), b.data(), a.size()) < 0;
  });
  for (int32_t r = 1; r <= 3000; ++r) ASSERT_EQ(record(5, r), rows[static_cast<size_t>(r - 1)]) << r;
}

TEST_F(row_store_test, SortOfOneRecordOrCountOneChangesNothing) {
  int32_t status = -1;
  xmm_allocate(4, 3, 20, status);
  put(4, 1, "zz");
  put(4, 2, "aa");
  xmm_sort(4, 1);
  EXPECT_EQ(record(4, 1), "zz ");
  xmm_allocate(6, 3, 1, status);
  put(6, 1, "zz");
  xmm_sort(6, 5);
  EXPECT_EQ(record(6, 1), "zz ");
  // A count above the capacity sorts the whole store.
  xmm_sort(4, 99);
  EXPECT_EQ(record(4, 1), "   ");
  EXPECT_EQ(record(4, 19), "aa ");
  EXPECT_EQ(record(4, 20), "zz ");
}

TEST_F(row_store_test, AllocationFailuresGiveTheirStatus) {
  int32_t status = -1;
  xmm_allocate(0, 10, 10, status);
  EXPECT_EQ(status, 1);
  xmm_allocate(21, 10, 10, status);
  EXPECT_EQ(status, 1);
  xmm_allocate(2, 0, 10, status);
  EXPECT_EQ(status, 4);
  xmm_allocate(2, 10, -3, status);
  EXPECT_EQ(status, 4);
  // A list file's header may claim any count: a store beyond what a list can hold is refused
  // as out of memory, before anything is allocated.
  xmm_allocate(2, 512, 100000000, status);
  EXPECT_EQ(status, 12);
  int32_t length = -1, records = -1;
  xmm_info(2, length, records);
  EXPECT_EQ(records, 0);
  EXPECT_TRUE(boxes.empty());

  xmm_allocate(2, 10, 10, status);
  ASSERT_EQ(status, 0);
  put(2, 1, "kept");
  xmm_allocate(2, 30, 30, status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(last_box(), "xmm-allo-x2");
  EXPECT_EQ(record(2, 1), padded("kept", 10));
}

TEST_F(row_store_test, MisuseOfHandlesIsReportedAndChangesNothing) {
  char text[20];
  std::fill(std::begin(text), std::end(text), 'x');
  xmm_get(21, text, 1);
  EXPECT_EQ(last_box(), "EMU-Nr. <1 >10");
  EXPECT_EQ(text[0], 'x');
  EXPECT_FALSE(xmm_put(0, text, 1));
  EXPECT_EQ(last_box(), "EMU-Nr. <1 >10");
  xmm_get(9, text, 1);
  EXPECT_EQ(last_box(), "xmm handle=0");
  EXPECT_FALSE(xmm_put(9, text, 1));
  xmm_sort(9, 3);
  EXPECT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes.back().text.substr(0, 12), "xmm handle=0");
}

TEST_F(row_store_test, DeallocateAndStopFreeHandles) {
  int32_t status = -1;
  xmm_allocate(1, 10, 10, status);
  xmm_allocate(20, 10, 10, status);
  xmm_deallocate(1);
  xmm_deallocate(0);   // nothing
  xmm_deallocate(25);  // nothing
  int32_t length = 0, records = 0;
  xmm_info(1, length, records);
  EXPECT_EQ(records, 0);
  xmm_info(20, length, records);
  EXPECT_EQ(records, 10);
  xmm_stop();
  xmm_info(20, length, records);
  EXPECT_EQ(records, 0);
  // A freed handle can be allocated again.
  xmm_allocate(20, 5, 5, status);
  EXPECT_EQ(status, 0);
}
