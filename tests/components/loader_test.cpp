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

// A prepared program directory "prog" (the driver and, on Linux, the platform library)
// below a fresh temporary root.
class Sandbox {
 public:
  // False, with the reason, when the directory cannot be prepared.
  bool Prepare(std::string* why) {
    if (!root_.ok()) {
      *why = "no temporary directory";
      return false;
    }
    prog_ = root_.path() / "prog";
    fs::create_directories(prog_);
    const fs::path fixtures = TestProgramDirectory();
    const std::string driver = std::string("loader_driver") + LOADER_EXE_SUFFIX;
    std::error_code error;
    fs::copy_file(fixtures / driver, prog_ / driver, error);
    if (!error && strlen(LOADER_PLATFORM_LIBRARY) > 0) {
      const fs::path platform(LOADER_PLATFORM_LIBRARY);
      fs::copy_file(platform, prog_ / platform.filename(), error);
    }
    if (error) *why = "cannot copy the driver or the platform library: " + error.message();
    return !error;
  }

  // Copies a stand-in library variant into dir under baseName plus the system's suffix.
  bool PutLibrary(const std::string& variant, const fs::path& dir,
                  const std::string& baseName = "CorvFact") {
    fs::create_directories(dir);
    const fs::path from = TestProgramDirectory() / (variant + LOADER_LIB_SUFFIX);
    std::error_code error;
    fs::copy_file(from, dir / (baseName + LOADER_LIB_SUFFIX), fs::copy_options::overwrite_existing,
                  error);
    EXPECT_FALSE(error) << "copy " << from << ": " << error.message();
    return !error;
  }

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

// The sandbox for the cases that prepare it themselves.
class LoaderProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(box_.Prepare(&why)) << why;
  }

  void PutLibrary(const char* variant, const fs::path& dir) { box_.PutLibrary(variant, dir); }
  void PutFactory(const fs::path& dir) { box_.PutLibrary("TestFact", dir); }
  // A library in a place the loader must not choose: loading it gives distinct reports.
  void PutDecoy(const fs::path& dir) { box_.PutLibrary("TestFactNull", dir); }
  RunResult Run(const std::vector<std::string>& arguments, const fs::path& from = fs::path()) {
    return box_.Run(arguments, from);
  }
  std::string Win(const fs::path& path) const { return box_.Win(path); }
  const fs::path& root() const { return box_.root(); }
  const fs::path& prog() const { return box_.prog(); }

 private:
  Sandbox box_;
};

// One run of the driver in a program directory of its own. Places are "prog/..." or
// "root/..." with '/' between folders; in texts and arguments "{root}" stands for the
// root in the loader's (Windows) form.
struct Library {
  // TestFact; TestFactNoEntry (no CreateComponent); TestFactNull (it returns null): the
  // decoy wherever the loader must not look, as its reports tell it apart.
  const char* variant;
  const char* place;
  const char* baseName = "CorvFact";
};
struct File {
  const char* place;
  const char* text;
};
struct LoaderCase {
  const char* what;
  std::vector<Library> libraries;
  std::vector<File> files;
  std::vector<std::string> arguments;
  std::string out;
  std::string err;
};

const char kIni361[] = "[361]\nDLL=CorvFact.dll\n";

const LoaderCase kLoaderCases[] = {
    {"without Corvio.ini every handle reports the load failure once",  // the library nothing names
     {{"TestFact", "prog"}}, {}, {"handles", "3"}, HandlesNull(3) + "done\n", Repeat(kLoadFail, 3)},
    {"a bare DLL name loads beside the config file",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", "[361]\r\nDLL=CorvFact.dll\r\n"}},
     {"handles", "2"}, HandlesOk(2) + "done\n", ""},
    {"the DLL value is trimmed of spaces and tabs",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", "[361]\nDLL=\" \tCorvFact.dll \t\"\n"}},
     {"handles", "1"}, HandlesOk(1) + "done\n", ""},
    {"an absolute DLL is used unchanged and nothing else is read",
     {{"TestFact", "root/elsewhere"}, {"TestFactNull", "prog"},
      {"TestFactNull", "prog/bin"}},
     {{"prog/Corvio.ini",
       "[361]\nDLL={root}\\elsewhere\\CorvFact.dll\nNotUseDefaultDllPath=1\n[DefaultValue]\nDllPath=bin\n"}},
     {"handles", "2"}, HandlesOk(2) + "done\n", ""},
    {"a relative DLL with a folder is below the config directory",
     {{"TestFact", "prog/sub"}, {"TestFactNull", "prog"}},
     {{"prog/Corvio.ini", "[361]\nDLL=sub\\CorvFact.dll\n"}}, {"handles", "1"}, HandlesOk(1) + "done\n", ""},
    {"an absolute DllPath gives that folder",
     {{"TestFact", "root/libs"}, {"TestFactNull", "prog"},
      {"TestFactNull", "prog/bin"}},
     {{"prog/Corvio.ini", "[361]\nDLL=CorvFact.dll\n[DefaultValue]\nDllPath={root}\\libs\n"}},
     {"handles", "1"}, HandlesOk(1) + "done\n", ""},
    {"a relative redirection ends the chain",
     {{"TestFact", "prog/conf"}, {"TestFactNull", "prog"},
      {"TestFactNull", "root/third"}},
     {{"prog/Corvio.ini", "[Redirect]\nPath=conf\\next.ini\n[361]\nDLL=CorvFact.dll\n"},
      {"prog/conf/next.ini", "[Redirect]\nPath={root}\\third\\third.ini\n[361]\nDLL=CorvFact.dll\n"},
      {"root/third/third.ini", kIni361}},
     {"handles", "1"}, HandlesOk(1) + "done\n", ""},
    {"absolute redirections are followed to the end of the chain",
     {{"TestFactNull", "prog"}, {"TestFactNull", "root/a"},
      {"TestFact", "root/b"}},
     {{"prog/Corvio.ini", "[Redirect]\nPath={root}\\a\\A.ini\n[361]\nDLL=CorvFact.dll\n"},
      {"root/a/A.ini", "[Redirect]\nPath={root}\\b\\B.ini\n[361]\nDLL=CorvFact.dll\n"},
      {"root/b/B.ini", kIni361}},
     {"handles", "1"}, HandlesOk(1) + "done\n", ""},
    {"a redirection of blanks only is no redirection",
     {{"TestFact", "prog"}},
     {{"prog/Corvio.ini", "[Redirect]\nPath=\" \t  \"\n[361]\nDLL=CorvFact.dll\n"}},
     {"handles", "1"}, HandlesOk(1) + "done\n", ""},
    // Corvio.ini, then A and B in turn: after 16 redirections the chain stands at B.
    {"a redirection cycle stops at the last file reached and says so",
     {{"TestFactNull", "prog"}, {"TestFactNull", "root/a"},
      {"TestFact", "root/b"}},
     {{"prog/Corvio.ini", "[Redirect]\nPath={root}\\a\\A.ini\n"},
      {"root/a/A.ini", "[Redirect]\nPath={root}\\b\\B.ini\n[361]\nDLL=CorvFact.dll\n"},
      {"root/b/B.ini", "[Redirect]\nPath={root}\\a\\A.ini\n[361]\nDLL=CorvFact.dll\n"}},
     {"handles", "1"}, HandlesOk(1) + "done\n",
     "[Corvio_Error] Redirect chain longer than 16 files, using {root}\\b\\B.ini\n"},
    {"a backslash before later slashes decides the directory part",
     {{"TestFact", "root"}, {"TestFactNull", "root/alt/deeper"},
      {"TestFactNull", "prog"}},
     {{"prog/Corvio.ini", "[Redirect]\nPath={root}\\alt/deeper/A.ini\n"},
      {"root/alt/deeper/A.ini", kIni361}},
     {"handles", "1"}, HandlesOk(1) + "done\n", ""},
    {"a library already loaded as CorvFact needs no config",
     {{"TestFact", "root/pre"}, {"TestFactNull", "root/decoy"}},
     {{"prog/Corvio.ini", "[361]\nDLL={root}\\decoy\\CorvFact.dll\n"}},
     {"preload", "{root}\\pre\\CorvFact.dll", "handles", "2"}, "preload ok\n" + HandlesOk(2) + "done\n", ""},
    {"a library of another name is loaded again by each handle",
     {{"TestFact", "prog", "TestFact"}}, {{"prog/Corvio.ini", "[361]\nDLL=TestFact.dll\n"}},
     {"handles", "3"}, HandlesOk(3) + "done\n", ""},
    {"a library without CreateComponent reports twice per handle",
     {{"TestFactNoEntry", "prog"}}, {{"prog/Corvio.ini", kIni361}},
     {"handles", "2"}, HandlesNull(2) + "done\n", Repeat(kNoEntry + kFactoryFail, 2)},
    {"CreateComponent returning null reports the id",
     {{"TestFactNull", "prog"}}, {{"prog/Corvio.ini", kIni361}},
     {"handles", "2"}, HandlesNull(2) + "done\n", Repeat(kReturnedNull + kFactoryFail, 2)},
    {"destroyed handles release their components with zero",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", kIni361}},
     {"release-check"}, "before_release live=2\nafter_release live=1 release_arg=0\ndone\n", ""},
    {"create by id with a null out loads and reports nothing",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", kIni361}},
     {"byid-null"}, "byid-null result=0 loaded=0\ndone\n", ""},
    {"create by id zero reports and still creates",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", kIni361}}, {"byid", "0"},
     "byid result=1 out=set\nkind=0 init_calls=1 init_arg=0 config=(null) live=1 "
     "factories=1 create_args=361,0 factory_lifecycle=0\ndone\n",
     kIdZero},
    {"create by id zero without a library reports both",
     {}, {}, {"byid", "0"}, "byid result=0 out=untouched\ndone\n", kIdZero + kLoadFail},
    {"create by id passes the config path and hands over the component",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", kIni361}}, {"byid-config", "140", "settings.cfg"},
     "byid result=1 out=set\nkind=140 init_calls=1 init_arg=0 config=settings.cfg live=1 "
     "factories=1 create_args=361,0 factory_lifecycle=0\ndone\n",
     ""},
    {"create by id of a refused kind leaves out untouched, unreported",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", kIni361}}, {"byid", "9999"},
     "byid result=0 out=untouched\ndone\n", ""},
    {"create by id without a library reports the load failure",
     {}, {}, {"byid", "140"}, "byid result=0 out=untouched\ndone\n", kLoadFail},
    {"a library missing where the config points reports the load failure",
     {{"TestFact", "prog"}}, {{"prog/Corvio.ini", "[361]\nDLL=missing\\CorvFact.dll\n"}},
     {"handles", "1", "byid", "140"}, HandlesNull(1) + "byid result=0 out=untouched\ndone\n",
     kLoadFail + kLoadFail},
};

std::string ExpandRoot(std::string text, const std::string& root) {
  const std::string mark = "{root}";
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + root.size())) {
    text.replace(at, mark.size(), root);
  }
  return text;
}

fs::path PlaceIn(const Sandbox& box, const std::string& place) {
  const size_t slash = place.find('/');
  const std::string head = place.substr(0, slash);
  const fs::path base = head == "root" ? box.root() : box.prog();
  return slash == std::string::npos ? base : base / HostForm(place.substr(slash + 1));
}

// Each case in a program directory of its own: what the driver printed and reported.
TEST(LoaderRuns, the_driver_creates_and_reports_as_each_row_says) {
  int row = 0;
  for (const LoaderCase& c : kLoaderCases) {
    Sandbox box;
    std::string why;
    ASSERT_TRUE(box.Prepare(&why)) << "row " << row << ": " << why;
    const std::string root = box.Win(box.root());
    for (const Library& library : c.libraries) {
      ASSERT_TRUE(box.PutLibrary(library.variant, PlaceIn(box, library.place), library.baseName))
          << "row " << row;
    }
    for (const File& file : c.files) WriteTextFile(PlaceIn(box, file.place), ExpandRoot(file.text, root));
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments) arguments.push_back(ExpandRoot(argument, root));
    const RunResult r = box.Run(arguments);
    EXPECT_EQ(r.status, 0) << "row " << row << " (" << c.what << ")";
    EXPECT_EQ(r.out, c.out) << "row " << row << " (" << c.what << ")";
    EXPECT_EQ(r.err, ExpandRoot(c.err, root)) << "row " << row << " (" << c.what << ")";
    ++row;
  }
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
