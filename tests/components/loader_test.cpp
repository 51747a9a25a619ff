// The component loader end to end: each case prepares a program directory (a copy of
// the driver, stand-in factory libraries, Corvio.ini files), runs the driver there and
// checks what it created and the exact reports on its debugger output.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "components/loader.h"
#include "platform/win32.h"
#include "tests/components/loader_test_support.h"

namespace {

using loader_test::HostForm;
using loader_test::ReadTextFile;
using loader_test::TempDir;
using loader_test::WindowsForm;
using loader_test::WriteTextFile;
namespace fs = std::filesystem;

const std::string kLoadFail = "[Corvio_Error] Load CorvFact.dll Fail.\n";
const std::string kNoEntry = "[Corvio_Error] Can't find CreateComponent().\n";
const std::string kReturnedNull = "[Corvio_Error] CreateComponent(ComponentId=361) return null.\n";
const std::string kFactoryFail = "[Corvio_Error] Create ComponentFactory in CorvFact.dll Fail\n";
const std::string kIdZero = "[Corvio_Error] TCorvioPtr with ComponentId = 0\n";

// What a healthy first handle reports about its probe and the library's factory calls.
std::string ProbeLine(int live, int factories) {
  return "kind=4242 init_calls=1 init_arg=0 config=(null) live=" + std::to_string(live) +
         " factories=" + std::to_string(factories) + " create_args=361,0 factory_lifecycle=0\n";
}

std::string HandlesOk(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "handle " + std::to_string(i) + " component=1\n";
  return text + ProbeLine(count, count);
}

std::string HandlesNull(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "handle " + std::to_string(i) + " component=0\n";
  return text;
}

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

fs::path TestProgramDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return HostForm(path).parent_path();
}

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

// A prepared program directory "prog" below a fresh temporary root.
class LoaderProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << "no temporary directory";
    prog_ = root_.path() / "prog";
    fs::create_directories(prog_);
    const fs::path fixtures = TestProgramDirectory();
    const std::string driver = std::string("loader_driver") + LOADER_EXE_SUFFIX;
    std::error_code error;
    fs::copy_file(fixtures / driver, prog_ / driver, error);
    ASSERT_FALSE(error) << "copy " << (fixtures / driver) << ": " << error.message();
    if (strlen(LOADER_PLATFORM_LIBRARY) > 0) {
      const fs::path platform(LOADER_PLATFORM_LIBRARY);
      fs::copy_file(platform, prog_ / platform.filename(), error);
      ASSERT_FALSE(error) << "copy " << platform << ": " << error.message();
    }
  }

  // Copies a stand-in library variant into dir under baseName plus the system's suffix.
  void PutLibrary(const char* variant, const fs::path& dir,
                  const std::string& baseName = "CorvFact") {
    fs::create_directories(dir);
    const fs::path from = TestProgramDirectory() / (std::string(variant) + LOADER_LIB_SUFFIX);
    std::error_code error;
    fs::copy_file(from, dir / (baseName + LOADER_LIB_SUFFIX), fs::copy_options::overwrite_existing,
                  error);
    ASSERT_FALSE(error) << "copy " << from << ": " << error.message();
  }
  void PutFactory(const fs::path& dir) { PutLibrary("TestFact", dir); }
  // A library in a place the loader must not choose: loading it gives distinct reports.
  void PutDecoy(const fs::path& dir) { PutLibrary("TestFactNull", dir); }

  // Runs the driver (the one in `from`, else in prog()) through the system's command
  // interpreter. Each argument is put in double quotes, which both interpreters strip and
  // which keep backslashes as they are.
  RunResult Run(const std::vector<std::string>& arguments, const fs::path& from = fs::path()) {
    const fs::path folder = from.empty() ? prog_ : from;
    const std::string program =
        fs::path(folder / (std::string("loader_driver") + LOADER_EXE_SUFFIX)).make_preferred().string();
    const std::string out = fs::path(root_.path() / "out.txt").make_preferred().string();
    const std::string err = fs::path(root_.path() / "err.txt").make_preferred().string();
    for (const std::string* path : {&program, &out, &err}) {
      EXPECT_EQ(path->find(' '), std::string::npos) << "cannot run with a blank in " << *path;
    }
    std::string command = program;
    for (const std::string& argument : arguments) command += " \"" + argument + "\"";
    command += " >" + out + " 2>" + err;
    RunResult result;
    result.status = system(command.c_str());
    result.out = ReadTextFile(out);
    result.err = ReadTextFile(err);
    return result;
  }

  std::string Win(const fs::path& path) const { return WindowsForm(path); }
  const fs::path& root() const { return root_.path(); }
  const fs::path& prog() const { return prog_; }

 private:
  TempDir root_{"prog"};
  fs::path prog_;
};

TEST_F(LoaderProgram, without_corvio_ini_every_handle_reports_load_failure_once) {
  PutFactory(prog());  // present, but without a DLL value nothing names it
  const RunResult r = Run({"handles", "3"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, HandlesNull(3) + "done\n");
  EXPECT_EQ(r.err, Repeat(kLoadFail, 3));
}

TEST_F(LoaderProgram, bare_dll_name_loads_beside_the_config_file) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\r\nDLL=CorvFact.dll\r\n");
  const RunResult r = Run({"handles", "2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, HandlesOk(2) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, dll_value_is_trimmed_of_spaces_and_tabs) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=\" \tCorvFact.dll \t\"\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, absolute_dll_is_used_unchanged_and_nothing_else_is_read) {
  PutFactory(root() / "elsewhere");
  PutDecoy(prog());
  PutDecoy(prog() / "bin");
  WriteTextFile(prog() / "Corvio.ini",
                "[361]\nDLL=" + Win(root() / "elsewhere" / "CorvFact.dll") +
                    "\nNotUseDefaultDllPath=1\n[DefaultValue]\nDllPath=bin\n");
  const RunResult r = Run({"handles", "2"});
  EXPECT_EQ(r.out, HandlesOk(2) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, relative_dll_with_a_folder_is_below_the_config_directory) {
  PutFactory(prog() / "sub");
  PutDecoy(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=sub\\CorvFact.dll\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, dll_path_and_not_use_default_dll_path_choose_the_folder) {
  struct Row {
    const char* notUseDefault;  // nullptr: key absent
    const char* dllPath;        // nullptr: key absent
    const char* folder;         // where the loader must find the library, below prog
  };
  const Row rows[] = {
      {nullptr, "bin", "bin"},
      {"1", "bin", "."},
      {"123456789", "bin", "."},   // nine characters starting with 1 count as 1
      {"1000000000", "bin", "bin"},  // ten characters do not fit and count as not 1
      {"0", "bin", "bin"},
      {"2", "bin", "bin"},
      {"\" \t1 \"", "bin", "."},  // trimmed to 1
      {nullptr, "\"  \t \"", "."},  // blanks only: no DllPath
      {nullptr, nullptr, "."},
      {nullptr, "bin\\deeper", "bin/deeper"},
  };
  const char* folders[] = {".", "bin", "bin/deeper"};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& row = rows[i];
    for (const char* folder : folders) {
      std::error_code error;
      fs::remove_all(prog() / folder / (std::string("CorvFact") + LOADER_LIB_SUFFIX), error);
    }
    for (const char* folder : folders) {
      if (strcmp(folder, row.folder) == 0) {
        PutFactory(prog() / folder);
      } else {
        PutDecoy(prog() / folder);
      }
    }
    std::string ini = "[361]\nDLL=CorvFact.dll\n";
    if (row.notUseDefault) ini += std::string("NotUseDefaultDllPath=") + row.notUseDefault + "\n";
    if (row.dllPath) ini += std::string("[DefaultValue]\nDllPath=") + row.dllPath + "\n";
    WriteTextFile(prog() / "Corvio.ini", ini);
    const RunResult r = Run({"handles", "1"});
    EXPECT_EQ(r.out, HandlesOk(1) + "done\n") << "row " << i;
    EXPECT_EQ(r.err, "") << "row " << i;
  }
}

TEST_F(LoaderProgram, absolute_dll_path_gives_that_folder) {
  PutFactory(root() / "libs");
  PutDecoy(prog());
  PutDecoy(prog() / "bin");
  WriteTextFile(prog() / "Corvio.ini",
                "[361]\nDLL=CorvFact.dll\n[DefaultValue]\nDllPath=" + Win(root() / "libs") + "\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, relative_redirection_ends_the_chain) {
  PutFactory(prog() / "conf");
  PutDecoy(prog());
  PutDecoy(root() / "third");
  WriteTextFile(prog() / "Corvio.ini", "[Redirect]\nPath=conf\\next.ini\n[361]\nDLL=CorvFact.dll\n");
  WriteTextFile(prog() / "conf" / "next.ini",
                "[Redirect]\nPath=" + Win(root() / "third" / "third.ini") +
                    "\n[361]\nDLL=CorvFact.dll\n");
  WriteTextFile(root() / "third" / "third.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, absolute_redirections_are_followed_to_the_end_of_the_chain) {
  PutDecoy(prog());
  PutDecoy(root() / "a");
  PutFactory(root() / "b");
  WriteTextFile(prog() / "Corvio.ini",
                "[Redirect]\nPath=" + Win(root() / "a" / "A.ini") + "\n[361]\nDLL=CorvFact.dll\n");
  WriteTextFile(root() / "a" / "A.ini",
                "[Redirect]\nPath=" + Win(root() / "b" / "B.ini") + "\n[361]\nDLL=CorvFact.dll\n");
  WriteTextFile(root() / "b" / "B.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, redirection_of_blanks_only_is_no_redirection) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[Redirect]\nPath=\" \t  \"\n[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, redirection_cycle_stops_at_the_last_file_reached_and_says_so) {
  PutDecoy(prog());
  PutDecoy(root() / "a");
  PutFactory(root() / "b");
  const std::string a = Win(root() / "a" / "A.ini");
  const std::string b = Win(root() / "b" / "B.ini");
  WriteTextFile(prog() / "Corvio.ini", "[Redirect]\nPath=" + a + "\n");
  WriteTextFile(root() / "a" / "A.ini", "[Redirect]\nPath=" + b + "\n[361]\nDLL=CorvFact.dll\n");
  WriteTextFile(root() / "b" / "B.ini", "[Redirect]\nPath=" + a + "\n[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  // Corvio.ini, then A and B in turn: after 16 redirections the chain stands at B.
  EXPECT_EQ(r.err, "[Corvio_Error] Redirect chain longer than 16 files, using " + b + "\n");
}

TEST_F(LoaderProgram, backslash_before_later_slashes_decides_the_directory_part) {
  PutFactory(root());
  PutDecoy(root() / "alt" / "deeper");
  PutDecoy(prog());
  WriteTextFile(prog() / "Corvio.ini", "[Redirect]\nPath=" + Win(root()) + "\\alt/deeper/A.ini\n");
  WriteTextFile(root() / "alt" / "deeper" / "A.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"handles", "1"});
  EXPECT_EQ(r.out, HandlesOk(1) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, library_already_loaded_as_corvfact_needs_no_config) {
  PutFactory(root() / "pre");
  PutDecoy(root() / "decoy");
  WriteTextFile(prog() / "Corvio.ini",
                "[361]\nDLL=" + Win(root() / "decoy" / "CorvFact.dll") + "\n");
  const RunResult r = Run({"preload", Win(root() / "pre" / "CorvFact.dll"), "handles", "2"});
  EXPECT_EQ(r.out, "preload ok\n" + HandlesOk(2) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, library_of_another_name_is_loaded_again_by_each_handle) {
  PutLibrary("TestFact", prog(), "TestFact");
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=TestFact.dll\n");
  const RunResult r = Run({"handles", "3"});
  EXPECT_EQ(r.out, HandlesOk(3) + "done\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, library_without_create_component_reports_twice_per_handle) {
  PutLibrary("TestFactNoEntry", prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"handles", "2"});
  EXPECT_EQ(r.out, HandlesNull(2) + "done\n");
  EXPECT_EQ(r.err, Repeat(kNoEntry + kFactoryFail, 2));
}

TEST_F(LoaderProgram, create_component_returning_null_reports_the_id) {
  PutDecoy(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"handles", "2"});
  EXPECT_EQ(r.out, HandlesNull(2) + "done\n");
  EXPECT_EQ(r.err, Repeat(kReturnedNull + kFactoryFail, 2));
}

TEST_F(LoaderProgram, destroyed_handles_release_their_components_with_zero) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"release-check"});
  EXPECT_EQ(r.out, "before_release live=2\nafter_release live=1 release_arg=0\ndone\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, create_by_id_with_null_out_loads_and_reports_nothing) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"byid-null"});
  EXPECT_EQ(r.out, "byid-null result=0 loaded=0\ndone\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, create_by_id_zero_reports_and_still_creates) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"byid", "0"});
  EXPECT_EQ(r.out,
            "byid result=1 out=set\nkind=0 init_calls=1 init_arg=0 config=(null) live=1 "
            "factories=1 create_args=361,0 factory_lifecycle=0\ndone\n");
  EXPECT_EQ(r.err, kIdZero);
}

TEST_F(LoaderProgram, create_by_id_zero_without_library_reports_both) {
  const RunResult r = Run({"byid", "0"});
  EXPECT_EQ(r.out, "byid result=0 out=untouched\ndone\n");
  EXPECT_EQ(r.err, kIdZero + kLoadFail);
}

TEST_F(LoaderProgram, create_by_id_passes_the_config_path_and_hands_over_the_component) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"byid-config", "140", "settings.cfg"});
  EXPECT_EQ(r.out,
            "byid result=1 out=set\nkind=140 init_calls=1 init_arg=0 config=settings.cfg live=1 "
            "factories=1 create_args=361,0 factory_lifecycle=0\ndone\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, create_by_id_of_a_refused_kind_leaves_out_untouched_unreported) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=CorvFact.dll\n");
  const RunResult r = Run({"byid", "9999"});
  EXPECT_EQ(r.out, "byid result=0 out=untouched\ndone\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LoaderProgram, create_by_id_without_library_reports_load_failure) {
  const RunResult r = Run({"byid", "140"});
  EXPECT_EQ(r.out, "byid result=0 out=untouched\ndone\n");
  EXPECT_EQ(r.err, kLoadFail);
}

TEST_F(LoaderProgram, library_missing_where_config_points_reports_load_failure) {
  PutFactory(prog());
  WriteTextFile(prog() / "Corvio.ini", "[361]\nDLL=missing\\CorvFact.dll\n");
  const RunResult r = Run({"handles", "1", "byid", "140"});
  EXPECT_EQ(r.out, HandlesNull(1) + "byid result=0 out=untouched\ndone\n");
  EXPECT_EQ(r.err, kLoadFail + kLoadFail);
}

// What the launcher tells the player when it gets no factory: the failure, the Corvio.ini
// in force and the library it names.
TEST_F(LoaderProgram, each_failure_is_kept_with_the_config_file_and_the_library) {
  enum Setup { NoIni, NoDll, Missing, NoEntry, Null, Good };
  struct Row {
    Setup setup;
    FactoryFailure failure;
    bool library;  // the report names the library
  } rows[] = {
      {NoIni, FactoryFailure::ConfigMissing, false},
      {NoDll, FactoryFailure::NoLibraryNamed, false},
      {Missing, FactoryFailure::LibraryNotLoaded, true},
      {NoEntry, FactoryFailure::NoEntry, true},
      {Null, FactoryFailure::NoFactory, true},
      {Good, FactoryFailure::None, true},
  };
  const std::string ini = Win(prog() / "Corvio.ini");
  const std::string library = Win(prog() / "lib") + "\\CorvFact.dll";
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::error_code ignored;
    fs::remove_all(prog() / "lib", ignored);
    fs::remove(prog() / "Corvio.ini", ignored);
    const Setup setup = rows[i].setup;
    if (setup != NoIni)
      WriteTextFile(prog() / "Corvio.ini", setup == NoDll ? "[361]\r\n" : "[361]\r\nDLL=lib\\CorvFact.dll\r\n");
    if (setup == NoEntry) PutLibrary("TestFactNoEntry", prog() / "lib");
    if (setup == Null) PutLibrary("TestFactNull", prog() / "lib");
    if (setup == Good) PutFactory(prog() / "lib");
    const RunResult r = Run({"handles", "1", "failure"});
    const std::string expected = "failure=" + std::to_string(static_cast<int>(rows[i].failure)) +
                                 " config=" + ini + " library=" + (rows[i].library ? library : "") +
                                 " error=" + (setup == Missing ? "set" : "none") + "\n";
    EXPECT_NE(r.out.find(expected), std::string::npos) << "row " << i << ": " << r.out;
  }
}

// A cut executable path names an ancestor folder: its Corvio.ini is never taken.
TEST_F(LoaderProgram, program_folder_too_long_for_a_path_loads_nothing_and_says_why) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows starts no program from a path this long";
#endif
  fs::path deep = root();
  while (Win(deep).size() < 300) deep /= std::string(40, 'd');
  fs::create_directories(deep);
  for (const fs::directory_entry& entry : fs::directory_iterator(prog()))
    fs::copy_file(entry.path(), deep / entry.path().filename());
  // Where the last backslash of the cut path points: a working Corvio.ini and library.
  const std::string driver = Win(deep / ("loader_driver" + std::string(LOADER_EXE_SUFFIX)));
  const std::string cut = driver.substr(0, LauncherPathSize - 1);
  const fs::path ancestor = HostForm(cut.substr(0, cut.rfind('\\')));
  PutFactory(ancestor);
  WriteTextFile(ancestor / "Corvio.ini", "[361]\r\nDLL=CorvFact.dll\r\n");
  const RunResult r = Run({"handles", "1", "failure"}, deep);
  EXPECT_EQ(r.out, HandlesNull(1) + "failure=1 config= library= error=none\ndone\n");
  EXPECT_EQ(r.err, "[Corvio_Error] The program folder's path is longer than 259 bytes.\n" + kLoadFail);
}

// ReportError in this process; on Windows the test links the same copy of debugger output
// to standard error that the driver uses.
TEST(ReportError, formats_the_message_onto_the_debugger_output) {
  ::testing::internal::CaptureStderr();
  ReportError("[Corvio_Error] CreateComponent(ComponentId=%u) return null.\n", 361u);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), kReturnedNull);
}

TEST(ReportError, cuts_messages_at_1023_characters) {
  const std::string longText(1500, 'm');
  ::testing::internal::CaptureStderr();
  ReportError("%s-tail", longText.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), std::string(1023, 'm'));
  ::testing::internal::CaptureStderr();
  ReportError("%s", std::string(1023, 'e').c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), std::string(1023, 'e'));
}

}  // namespace
