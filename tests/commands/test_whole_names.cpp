// Names a program hands to the system are taken whole or refused: a name that a concatenation,
// a token's variables or a variable holding such a text make longer than the 256 characters a
// text holds is refused by every command and function that takes a file name, a program name or
// a shell command (IOERROR 36 and the WARNUNG line), and the file or program of its first 256
// characters stays untouched.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/commands/interpreter.h"
#include "runtime/commands/runtime.h"
#include "runtime/output/plot/plot.h"
#include "runtime/output/print/print.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "test_debugger_fixture.h"

namespace {

// The long name: A (200 characters) and B (61) make 261; its first 256 characters name the
// victim, a file in a folder of 150 characters.
const std::string folder(150, 'f');
const std::string part_a = folder + "/" + std::string(49, 'k');
const std::string part_b = std::string(56, 'k') + "extra";
const std::string long_name = part_a + part_b;
const std::string victim = long_name.substr(0, 256);

// 1 A, 2 B, 3 integer R, 4 B2 (57 characters: A // B2 is 257), 5 C and 6 META_FILE (300
// characters each, more than a text holds); names padded with blanks: 7 NAME (256 characters)
// and 8 PF (40) holding "data.txt" and "d/", 9 BIG (600) and 12 HUGE (700) holding "data.txt"
// and "gone.txt"; 10 ROW and 11 D of 300 characters; 13 PAD (200) holding "d/data.txt" and 14 YS
// (100) holding "y"s.
const std::string variables = "&0001 S 0001*200:A/" + part_a + "\n&0002 S 0001*061:B/" + part_b +
                              "\n&0003 I 0001:R/0\n&0004 S 0001*057:B2/" + std::string(57, 'k') +
                              "\n&0005 S 0001*300:C/\n&0006 S 0001*300:META_FILE/\n"
                              "&0007 S 0001*256:NAME/data.txt\n&0008 S 0001*040:PF/d/\n&0009 S 0001*600:BIG/data.txt\n"
                              "&0010 S 0001*300:ROW/\n&0011 S 0001*300:D/\n&0012 S 0001*700:HUGE/gone.txt\n"
                              "&0013 S 0001*200:PAD/d/data.txt\n&0014 S 0001*100:YS/" + std::string(100, 'y') + "\n";

// Expressions: 1 "#0", 2 C := A // B, 3 META_FILE := A // B, 4 LSTMGR's list 1, 5 a PDF plot,
// 6 the SYSVAR service of token 10 on A // B, 7 the same on TRIM(A) // B, 8 on C, 9 copy of
// "SRC.TXT " // A // B, 10 the service of token 10 on token 11, 11 the service of token 10 on
// the text of the service of token 11, 12 on (A // B)[1:256]; the service on 13 "d/" // NAME,
// 14 TRIM(PF) // NAME, 15 BIG, 16 HUGE; 17 BIG[513:513] := "x", 18 C[1:300] := "d/data.txt",
// 19 D := A // B, 20 D[1:256] := "d/data.txt", 21 the service on D, 22 C[1:10] := "d/data.txt",
// 23 ROW := C, 24 the service on ROW, 25 ROW := C[1:256], 26 the service on token 19 // A // B,
// 27 on NAME // "x"; 28 C := COMPRESS(PAD // YS) // "Q.txt" ("d/data.txt", 100 "y"s and "Q.txt",
// cut after its 66th character: COMPRESS brings the "y"s past the 256 characters of the join
// into the text, after its cut point), the service on 29 C[67:71] and 30 C[1:66], 31
// C[67:71] := "Q.txt" and C[61:65] := "yyyyy" (the characters it held), the service on 32
// C[111:115].
const std::string upn =
    "#0\n&1 &2 _// &5 __STO\n&1 &2 _// &6 __STO\n#1 #0 #0\n#43 #0 #0 #0\n@0010 &1 &2 _// _SYSVAR &3 __STO\n"
    "@0010 &1 _TRIM &2 _// _SYSVAR &3 __STO\n@0010 &5 _SYSVAR &3 __STO\n@0010 @0012 &1 _// &2 _// _SYSVAR &3 __STO\n"
    "@0010 @0011 _SYSVAR &3 __STO\n@0010 @0011 #0 _SYSVAR _SYSVAR &3 __STO\n@0010 &1 &2 #1 #256 _: _// _SYSVAR &3 __STO\n"
    "@0010 @0014 &7 _// _SYSVAR &3 __STO\n@0010 &8 _TRIM &7 _// _SYSVAR &3 __STO\n@0010 &9 _SYSVAR &3 __STO\n"
    "@0010 &12 _SYSVAR &3 __STO\n@0016 #513 #513 _: &9 __STO\n@0015 #1 #300 _: &5 __STO\n&1 &2 _// &11 __STO\n"
    "@0015 #1 #256 _: &11 __STO\n@0010 &11 _SYSVAR &3 __STO\n@0015 #1 #10 _: &5 __STO\n&5 &10 __STO\n"
    "@0010 &10 _SYSVAR &3 __STO\n#1 #256 _: &5 &10 __STO\n@0010 @0019 &1 _// &2 _// _SYSVAR &3 __STO\n"
    "@0010 &7 @0016 _// _SYSVAR &3 __STO\n&13 &14 _// _COMPRESS @0020 _// &5 __STO\n"
    "@0010 #67 #71 _: &5 _SYSVAR &3 __STO\n@0010 #1 #66 _: &5 _SYSVAR &3 __STO\n@0020 #67 #71 _: &5 __STO @0021 #61 #65 _: &5 __STO\n"
    "@0010 #111 #115 _: &5 _SYSVAR &3 __STO\n";

// Tokens: 1 the long name from its two variables, 2 the name in C, 3 "#1", 4 a line, 5 FORM,
// 6 ".H", 7 a shell command over the long name, 8 the program of A // B2, 9 a spawned command
// over the long name; 10 and 11 are the test's (a SYSVAR service and its argument), 12
// "SRC.TXT ", 13 "%1", 14 "d/", 15 "d/data.txt", 16 "x", 17 the name in ROW, 18 in D, 19
// "WINKYR_CUT_NAME=", 20 "Q.txt", 21 "yyyyy".
std::string tokens(const std::string& service, const std::string& argument) {
  return "@0001 \xFA" "0001\xFA" "0002|\n@0002 \xFA" "0005|\n@0003 #1|\n@0004 a line|\n@0005 FORM|\n@0006 .H|\n"
         "@0007 rm -f \xFA" "0001\xFA" "0002|\n@0008 \xFA" "0001\xFA" "0004|\n@0009 touch \xFA" "0001\xFA" "0002|\n"
         "@0010 " + service + "|\n@0011 " + argument + "|\n@0012 SRC.TXT |\n@0013 %1|\n@0014 d/|\n@0015 d/data.txt|\n"
         "@0016 x|\n@0017 \xFA" "0010|\n@0018 \xFA" "0011|\n@0019 WINKYR_CUT_NAME=|\n@0020 Q.txt|\n@0021 yyyyy|\n";
}

std::string program(const std::string& codes, const std::string& service = "exist", const std::string& argument = "x") {
  return "[PROC]\nCSET=W\n[INIT]\nCODES=20\nUPNCODES=40\nUPNTOKENS=400\nTEXTTOKENS=30\nTEXTCHARACTERS=1000\n"
         "VARIABLES=20\nSTRINGSPACE=4000\nADRSPACE=50\n[VARIABLES]\n" + variables + "[UPNCODES]\n" + upn +
         "[TEXTTOKENS]\n" + tokens(service, argument) + "[CODES]\n" + codes + "RETURN\n";
}

class whole_names : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    std::filesystem::create_directories(dir / folder);
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  void run(const std::string& codes, const std::string& service = "exist", const std::string& argument = "x") {
    io_status = 0;
    load_program_image(program(codes, service, argument));
    interpreter(1);
  }
  // The WARNUNG lines that refused the name of these first characters.
  size_t refusals(const std::string& first) const {
    const std::string log = file_text("PXBERROR.LOG");
    const std::string line = "-WARNUNG:cannot open " + first + ": " + std::strerror(ENAMETOOLONG);
    size_t n = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
    return n;
  }
  int32_t result() const { return get_int_variable("R"); }
};

// SYSVAR's delete, copy and exist with a name made of two variables, joined as they are and
// after TRIM: refused, -1, and every file as it was.
TEST_F(whole_names, SysvarFileServicesRefuseANameCutByAConcatenation) {
  write(victim, "kept\n");
  write("SRC.TXT", "source\n");
  const std::string copy_victim = ("SRC.TXT " + long_name).substr(8, 248);
  write(copy_victim, "kept too\n");
  size_t refused = 0;
  for (const char* codes : {"%0006\n", "%0007\n"}) {
    for (const char* service : {"delete", "exist"}) {
      run(codes, service);
      EXPECT_EQ(result(), -1) << service << " " << codes;
      EXPECT_EQ(io_status, ENAMETOOLONG) << service << " " << codes;
      EXPECT_EQ(refusals(victim), ++refused) << service << " " << codes;
    }
  }
  run("%0009\n", "copy");
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(file_text(victim), "kept\n");
  EXPECT_EQ(file_text(copy_victim), "kept too\n");
  // The first 256 characters asked for by a substring are a whole name.
  run("%0012\n", "exist");
  EXPECT_EQ(result(), 1);
  // A variable holding the cut text is refused as well; a whole name is served.
  run("%0002\n%0008\n", "delete");
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(file_text(victim), "kept\n");
  run("%0010\n", "exist", "SRC.TXT");
  EXPECT_EQ(result(), 1);
  run("%0010\n", "delete", "SRC.TXT");
  EXPECT_EQ(result(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "SRC.TXT"));
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
}

// A text of the system longer than a result holds (here the current folder) is cut there and
// marked so: SYSVAR's delete of it is refused, the file of its first 256 characters stays.
TEST_F(whole_names, SysvarRefusesASystemTextCutToAResult) {
  const std::filesystem::path deep = dir / folder / std::string(120, 'g');
  std::filesystem::create_directories(deep);
  const std::string first = deep.string().substr(0, 256);
  ASSERT_GT(deep.string().size(), 256u);
  std::ofstream(first) << "kept\n";
  load_program_image(program("%0011\n", "delete", "path"));
  std::filesystem::current_path(deep);
  interpreter(1);
  std::filesystem::current_path(dir);
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(io_status, ENAMETOOLONG);
  std::ifstream in(first);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept\n");
}

// PLOT's open (option 1), the name for the next open (128) and a plot script file (64) with a
// name over 256 characters: refused, no file written, the PDF of the first 256 characters kept.
TEST_F(whole_names, PlotRefusesAFileNameOverAWholeText) {
  plot_reset();  // no plot name or open plot of an earlier test
  plot_set_program_dir(std::string(WINKYR_SOURCE_DIR) + "/data/");  // the PDF frame's templates
  write(victim + ".PDF", "kept\n");
  write(victim, "");
  run("/00000001 PLOT @0001 %0005\n/00000002 PLOT\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals(victim), 1u);
  run("/00000080 PLOT @0001\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals(victim), 2u);
  // The refused name is not the next open's: the open takes its own.
  run("/00000080 PLOT @0001\n/00000001 PLOT @0005 %0005\n/00000002 PLOT\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "FORM.PDF"));
  run("/00000040 PLOT @0001\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals(victim), 4u);
  EXPECT_EQ(file_text(victim + ".PDF"), "kept\n");
  EXPECT_FALSE(std::filesystem::exists(dir / (long_name + ".PDF")));
}

// RUN of a program name of 257 characters and, with 0x400 and 0x200, a command line over 256:
// refused, nothing started, the program and file of the first 256 characters untouched, and the
// running program goes on.
TEST_F(whole_names, RunRefusesAProgramNameOrCommandLineOverAWholeText) {
  start_headless();
  // The program of the first 256 characters would write CHAIN.OUT.
  std::ofstream(dir / victim, std::ios::binary)
      << small_program("&0001 I 0001:J/0\n", "#0\n", "@0001 #1|\n@0002 CHAIN.OUT|\n@0003 chained|\n",
                       "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0003\n/00000002 FILE @0001\nRETURN\n");
  run("/00000001 RUN @0008\n/00000801 FILE @0003 @0005 %0001\n/00001000 FILE @0003 @0004\n/00000002 FILE @0003\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "CHAIN.OUT"));
  EXPECT_EQ(file_text("FORM"), "a line\n");  // the program went on
  EXPECT_EQ(refusals(victim), 1u);
  EXPECT_EQ(variable_type_by_name("META_FILE"), 4);

  // "rm -f " and the long name, cut at 256, would remove the file of its first 250 characters.
  const std::string removed = long_name.substr(0, 250);
  write(removed, "kept\n");
  run("/00000400 RUN @0007\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(file_text(removed), "kept\n");
  EXPECT_EQ(refusals(("rm -f " + long_name).substr(0, 256)), 1u);
  // "touch " and the long name would make the file of its first 250 characters.
  std::filesystem::remove(dir / removed);
  run("/00000200 RUN @0009\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_FALSE(std::filesystem::exists(dir / removed));
}

// Every other command and function that takes a name, with the name in a variable that holds
// the cut text of A // B (stored there by the program) or straight from the two variables: each
// refuses it, the file of the first 256 characters keeps its content.
TEST_F(whole_names, EveryNameTakingCommandRefusesACutName) {
  write("FORM.frm", "Formzeile\n");
  write("FORM.htm", "<p>Formzeile</p>\n");
  struct name_case {
    const char* what;
    std::string codes;
  };
  const std::vector<name_case> cases = {
      {"FILE open", "%0002\n/00000801 FILE @0003 @0002 %0001\n"},
      {"FILE paste", "%0002\n/00010000 FILE @0002\n"},
      {"FILE rectangle", "%0002\n/00001080 FILE @0002 %0001\n"},
      {"LSTMGR save", "%0002\n/00001000 LSTMGR @0002 %0004\n"},
      {"LSTMGR load", "%0002\n/00002000 LSTMGR @0002 %0004\n"},
      {"PRINT form", "%0002\nPRINT @0002\n"},
      {"PRINT file", "%0002\n/00000040 PRINT @0002\n"},
      {"PRINT meta name", "%0002\n/00000080 PRINT @0005 @0002\n"},
      {"META_FILE copy", "%0003\n/00000080 PRINT @0005\n"},
      {"META_FILE export", "%0003\nPRINT @0006\n/00000080 PRINT @0005\n"},
      {"HELP page", "%0002\n/00000040 HELP @0002\n"},
      {"HELP stored page", "HELP @0001\n"},
      {"SHOW file window", "%0002\n/00000001 SHOW @0002\n"},
      {"SHOW bitmap", "%0002\n/00000080 SHOW @0002 %0001\n"},
      {"SHOW file check", "%0002\n/00000010 SHOW @0002 %0001\n"},
      {"AREA picture", "/00000080 AREA @0001 %0001\n"},
      {"AREA icon", "/00000100 AREA @0001\n"},
      {"PLOT script", "%0002\n/00000040 PLOT @0002\n"},
      {"RUN program", "%0002\n/00000001 RUN @0002\n"},
  };
  start_headless();
  print_job_reset();  // no job, HTML switch or meta name of an earlier test
  print_output_reset();
  plot_reset();
  size_t refused = 0;
  for (const name_case& c : cases) {
    write(victim, "kept\n");
    run(c.codes);
    EXPECT_EQ(io_status, ENAMETOOLONG) << c.what;
    EXPECT_EQ(refusals(victim), ++refused) << c.what;
    EXPECT_EQ(file_text(victim), "kept\n") << c.what;
  }
  EXPECT_EQ(std::string(help_page.data(), help_page.size()).find(folder), std::string::npos);
  // A cut connection text is refused the same way (a cut SQL statement ends the run as a failed
  // statement, test_sql_program.cpp); the log line shows no password, here all behind the "/".
  run("%0002\n/00000001 SQL @0002 %0001\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals(folder + "/********"), 1u);
  EXPECT_EQ(refusals(victim), refused);
  // A name handed to a subroutine as %1 keeps its first 80 characters there: refused as well.
  const std::string first_80(80, 'f');
  write(first_80, "kept\n");
  run("CALL :0003 %0001 @0001\nRETURN\n/00000101 FILE @0003 @0013 %0001\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals(first_80), 1u);
  EXPECT_EQ(file_text(first_80), "kept\n");
  // SYSVAR's other name services, and the environment a name would be read from later: no folder
  // entered (the one of the first 256 characters exists for setpath), no variable set.
  std::filesystem::remove(dir / victim);
  unsetenv("WINKYR_CUT_NAME");
  for (const std::string service : {"mkdir", "rmdir", "c_sopen", "c_sopen_or", "fcount", "fsearch", "setpath"}) {
    if (service == "setpath") std::filesystem::create_directory(dir / victim);
    run("%0006\n", service);
    EXPECT_EQ(io_status, ENAMETOOLONG) << service;
    EXPECT_EQ(refusals(victim), ++refused) << service;
  }
  EXPECT_EQ(std::filesystem::current_path(), dir);
  std::filesystem::current_path(dir);
  run("%0026\n", "setenv");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals(("WINKYR_CUT_NAME=" + long_name).substr(0, 256)), 1u);
  EXPECT_EQ(std::getenv("WINKYR_CUT_NAME"), nullptr);
  // NAME // "x" loses the "x" past the 256 characters: no folder of its first ones, "data.txt".
  run("%0027\n", "mkdir");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals("data.txt"), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "data.txt"));
}

// A folder joined with a name variable padded with blanks is a whole name: "d/" // NAME is 258
// characters, of which only blanks fall past the 256 a text holds.  Served, as after TRIM of a
// padded folder variable.
TEST_F(whole_names, AFolderJoinedWithABlankPaddedNameIsWhole) {
  std::filesystem::create_directory(dir / "d");
  write("d/data.txt", "data\n");
  for (const char* codes : {"%0013\n", "%0014\n"}) {
    run(codes, "exist");
    EXPECT_EQ(result(), 1) << codes;
    EXPECT_EQ(io_status, 0) << codes;
  }
  run("%0013\n", "delete");
  EXPECT_EQ(result(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "d/data.txt"));
  EXPECT_EQ(refusals("d/data.txt"), 0u);
}

// A text variable longer than the 512 characters of an evaluator text, holding a short name and
// blanks, is read whole; a character past the 512 is lost, and the name refused.
TEST_F(whole_names, AShortNameInAVariableLongerThanATextResultIsWhole) {
  write("data.txt", "data\n");
  write("gone.txt", "gone\n");
  run("%0015\n", "exist");
  EXPECT_EQ(result(), 1);
  run("%0016\n", "delete");
  EXPECT_EQ(result(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "gone.txt"));
  run("%0017\n%0015\n", "exist");
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(io_status, ENAMETOOLONG);
}

// A whole text stored over the whole field of a variable that held a cut text (through a range
// of all 300 characters, or of the 256 that held the cut text) makes it whole: SYSVAR and FILE
// take its name.  A store over a part of the cut text leaves the rest of it, still refused.
TEST_F(whole_names, AWholeTextStoredOverTheCutTextMakesItWhole) {
  std::filesystem::create_directory(dir / "d");
  write("d/data.txt", "data\n");
  run("%0002\n%0008\n", "exist");
  EXPECT_EQ(result(), -1);
  run("%0002\n%0018\n%0008\n", "exist");
  EXPECT_EQ(result(), 1);
  run("%0019\n%0020\n%0021\n", "exist");
  EXPECT_EQ(result(), 1);
  run("%0002\n%0022\n%0008\n", "exist");
  EXPECT_EQ(result(), -1);
  std::filesystem::remove(dir / "d/data.txt");
  run("%0002\n%0018\n/00000801 FILE @0003 @0002 %0001\n/00001000 FILE @0003 @0004\n/00000002 FILE @0003\n");
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(file_text("d/data.txt"), "a line\n");
}

// A variable a cut text is copied into (ROW := C) holds it cut: SYSVAR and FILE refuse its name,
// the file of the first 256 characters stays.  Those first 256 characters copied as a part are
// a whole name.
TEST_F(whole_names, ACopyOfACutTextCarriesItsMark) {
  write(victim, "kept\n");
  run("%0002\n%0023\n%0024\n", "exist");
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(io_status, ENAMETOOLONG);
  run("%0002\n%0023\n%0024\n", "delete");
  EXPECT_EQ(result(), -1);
  run("%0002\n%0023\n/00000001 FILE @0003 @0017 %0001\n");
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals(victim), 3u);
  EXPECT_EQ(file_text(victim), "kept\n");
  run("%0002\n%0025\n%0024\n", "exist");
  EXPECT_EQ(result(), 1);
}

// A part of a stored cut text that begins after its cut point holds characters that stand there
// only because the cut moved them: C holds COMPRESS(PAD // YS) // "Q.txt", cut after its 66th
// character, and C[67:71] ("yyyyy") and C[111:115] ("Q.txt") are refused as C is, where the part
// before the cut point, C[1:66], is a whole name.  Whole texts stored over C[67:71] and C[61:65]
// (the characters on either side of the mark) leave the mark: C and the part after it are still
// refused, the part before it still served.
TEST_F(whole_names, APartAfterTheCutPointOfAStoredCutTextIsCut) {
  write("Q.txt", "q\n");
  write("yyyyy", "y\n");
  std::filesystem::create_directory(dir / "d");
  write("d/data.txt" + std::string(56, 'y'), "data\n");
  run("%0028\n%0030\n", "exist");
  EXPECT_EQ(result(), 1);
  run("%0028\n%0029\n", "exist");
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_EQ(refusals("yyyyy"), 1u);
  run("%0028\n%0032\n", "exist");
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(refusals("Q.txt"), 1u);
  run("%0028\n%0031\n%0029\n", "exist");
  EXPECT_EQ(result(), -1);
  EXPECT_EQ(refusals("Q.txt"), 2u);
  run("%0028\n%0031\n%0008\n", "exist");
  EXPECT_EQ(result(), -1);
  run("%0028\n%0031\n%0030\n", "exist");
  EXPECT_EQ(result(), 1);
}

}  // namespace
