// Tests of the module calls: loading by Windows-style names and paths, handles, file
// names and exports, and the built-in modules.
#include <gtest/gtest.h>

#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/path.h"
#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"

namespace {

const std::string kModuleDir = ZENT_CORE_MODULE_DIR;

typedef int (*ValueFn)(void);

std::string WinForm(const std::string& hostPath) {
  std::string windows;
  return PlatformWindowsPath("test", hostPath, &windows) ? windows : "<failed>";
}

std::string ExecutableWindowsPath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? WinForm(std::string(buffer, static_cast<size_t>(n))) : std::string();
}

// One GetModuleFileNameA call with a buffer of `size`: its result, the error it leaves
// (0: none) and how many characters of the name it writes.
struct FileNameRow {
  DWORD size;
  DWORD wantResult;
  DWORD wantError;
  size_t wantChars;
};

// Makes each row's call for `module`, whose file name is `name`, into a larger buffer.
void CheckFileNames(HMODULE module, const std::string& name, const std::vector<FileNameRow>& rows) {
  for (size_t row = 0; row < rows.size(); ++row) {
    const FileNameRow& r = rows[row];
    std::string buffer(name.size() + 200, 'X');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(module, &buffer[0], r.size), r.wantResult) << "row " << row;
    EXPECT_EQ(GetLastError(), r.wantError) << "row " << row;
    EXPECT_EQ(std::string(buffer.c_str()), name.substr(0, r.wantChars)) << "row " << row;
    EXPECT_EQ(buffer[r.size], 'X') << "row " << row << ": written past the size";
  }
}

// Loads and frees so that every test starts with the library not loaded by the test.
class PlatformModule : public ::testing::Test {
 protected:
  void TearDown() override {
    while (HMODULE h = GetModuleHandleA("ZentCoreTest.dll")) {
      if (!FreeLibrary(h)) break;
    }
  }
};

TEST_F(PlatformModule, dll_name_by_absolute_windows_path_loads_the_so) {
  const std::string path = WinForm(kModuleDir) + "\\ZentCoreTest.dll";
  HMODULE lib = LoadLibraryA(path.c_str());
  ASSERT_NE(lib, nullptr);
  auto value = reinterpret_cast<ValueFn>(reinterpret_cast<void*>(GetProcAddress(lib, "ZentCoreTestValue")));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value(), 42);
  EXPECT_TRUE(FreeLibrary(lib));
}

TEST_F(PlatformModule, names_match_without_regard_to_case_and_without_extension) {
  struct Row {
    const char* suffix;
  } rows[] = {{"\\zentcoretest.dll"}, {"\\ZENTCORETEST.DLL"}, {"\\ZentCoreTest"}, {"\\ZentCoreTest.so"}};
  int row = 0;
  for (const Row& r : rows) {
    const std::string path = WinForm(kModuleDir) + r.suffix;
    HMODULE lib = LoadLibraryA(path.c_str());
    EXPECT_NE(lib, nullptr) << "row " << row;
    if (lib) {
      EXPECT_TRUE(FreeLibrary(lib)) << "row " << row;
    }
    ++row;
  }
}

TEST_F(PlatformModule, relative_path_and_bare_name_use_the_current_directory) {
  CoreTempDir restore;  // puts the current directory back afterwards
  ASSERT_TRUE(restore.ok());
  ASSERT_TRUE(SetCurrentDirectoryA(kModuleDir.c_str()));
  HMODULE relative = LoadLibraryA(".\\zentcoretest.dll");
  ASSERT_NE(relative, nullptr);
  HMODULE bare = LoadLibraryA("ZentCoreTest.dll");
  EXPECT_EQ(bare, relative);  // one module, counted twice
  EXPECT_TRUE(FreeLibrary(bare));
  EXPECT_TRUE(FreeLibrary(relative));
}

TEST_F(PlatformModule, bare_name_is_found_in_the_program_folder) {
  CoreTempDir elsewhere;
  ASSERT_TRUE(elsewhere.ok());
  HMODULE lib = LoadLibraryA("zentcorebeside");
  ASSERT_NE(lib, nullptr);
  char name[4096];
  const DWORD n = GetModuleFileNameA(lib, name, sizeof name);
  ASSERT_GT(n, 0u);
  const std::string exe = ExecutableWindowsPath();
  const std::string folder = exe.substr(0, exe.find_last_of('\\'));
  EXPECT_EQ(std::string(name), folder + "\\ZentCoreBeside.so");
  EXPECT_TRUE(FreeLibrary(lib));
}

TEST_F(PlatformModule, bare_name_of_a_loaded_module_finds_it_first) {
  const std::string path = WinForm(kModuleDir) + "\\ZentCoreTest.dll";
  HMODULE lib = LoadLibraryA(path.c_str());
  ASSERT_NE(lib, nullptr);
  CoreTempDir elsewhere;  // neither the program folder nor the current one has it
  ASSERT_TRUE(elsewhere.ok());
  HMODULE again = LoadLibraryA("zentcoretest.DLL");
  EXPECT_EQ(again, lib);
  if (again) FreeLibrary(again);
  FreeLibrary(lib);
}

TEST_F(PlatformModule, get_module_handle_finds_only_loaded_modules) {
  EXPECT_EQ(GetModuleHandleA("ZentCoreTest.dll"), nullptr);
  const std::string path = WinForm(kModuleDir) + "\\ZentCoreTest.dll";
  HMODULE lib = LoadLibraryA(path.c_str());
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(GetModuleHandleA("ZentCoreTest.dll"), lib);
  EXPECT_EQ(GetModuleHandleA("zentcoretest"), lib);
  EXPECT_EQ(GetModuleHandleA("ZENTCORETEST.SO"), lib);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), lib);
  EXPECT_EQ(GetModuleHandleA("ZentCoreTest.exe"), nullptr);
  EXPECT_TRUE(FreeLibrary(lib));
  EXPECT_EQ(GetModuleHandleA("ZentCoreTest.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(PlatformModule, null_name_is_the_program_and_system_names_are_absent) {
  HMODULE self = GetModuleHandleA(nullptr);
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(GetModuleHandleA("platform_module_test"), self);
  EXPECT_EQ(GetModuleHandleA("platform_module_test.exe"), self);
  EXPECT_EQ(GetModuleHandleA("ntdll.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("CorvFact.dll.invalid"), nullptr);
}

TEST_F(PlatformModule, module_file_name_buffer_small_exact_and_large) {
  const std::string exe = ExecutableWindowsPath();
  ASSERT_FALSE(exe.empty());
  ASSERT_EQ(exe[0], '\\');
  const DWORD len = static_cast<DWORD>(exe.size());
  CheckFileNames(nullptr, exe,
                 {{1, 1, ERROR_INSUFFICIENT_BUFFER, 0},
                  {5, 5, ERROR_INSUFFICIENT_BUFFER, 4},
                  {len, len, ERROR_INSUFFICIENT_BUFFER, len - 1},
                  {len + 1, len, 0, len},
                  {len + 100, len, 0, len}});
  char out[4096];
  EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), out, sizeof out), len);
}

TEST_F(PlatformModule, get_proc_address_sees_only_the_modules_own_exports) {
  const std::string path = WinForm(kModuleDir) + "\\ZentCoreTest.dll";
  HMODULE lib = LoadLibraryA(path.c_str());
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(GetProcAddress(lib, "ZentCoreTestUsesPlatform"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(lib, "GetPrivateProfileStringA"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(lib, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetProcAddress(lib, nullptr), nullptr);
  FreeLibrary(lib);
}

TEST_F(PlatformModule, missing_folder_and_bad_files_fail_with_codes) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  dir.Write("text.dll", "not a library");
  const std::string folder = WinForm(dir.path()) + "\\";
  // Its one import is missing: it fails at load, not at the first call.
  const std::string unbound = WinForm(kModuleDir) + "\\ZentCoreUnbound.dll";
  struct Row {
    const char* name;
    DWORD wantError;
  } rows[] = {
      {".\\text.dll", ERROR_BAD_FORMAT},
      {unbound.c_str(), ERROR_PROC_NOT_FOUND},
      {".\\missing.dll", ERROR_MOD_NOT_FOUND},
      {".\\", ERROR_MOD_NOT_FOUND},
      {folder.c_str(), ERROR_MOD_NOT_FOUND},
      {"\\nonexistent-zent\\CorvFact.dll", ERROR_MOD_NOT_FOUND},
      {"NoSuchModuleZent.dll", ERROR_MOD_NOT_FOUND},
      {"", ERROR_INVALID_PARAMETER},
  };
  int row = 0;
  for (const Row& r : rows) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(r.name), nullptr) << "row " << row;
    EXPECT_EQ(GetLastError(), r.wantError) << "row " << row;
    ++row;
  }
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST_F(PlatformModule, windows_dll_beside_the_so_never_breaks_loading) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  std::filesystem::copy_file(kModuleDir + "/ZentCoreTest.so", dir.path() + "/ZentCoreTest.so");
  dir.Write("ZentCoreTest.dll", "MZ: a Windows library, no ELF file");
  const char* names[] = {".\\ZentCoreTest.dll", ".\\zentcoretest", ".\\ZentCoreTest.so"};
  int row = 0;
  for (const char* name : names) {
    HMODULE lib = LoadLibraryA(name);
    EXPECT_NE(lib, nullptr) << "row " << row;
    if (lib) {
      EXPECT_TRUE(FreeLibrary(lib)) << "row " << row;
    }
    ++row;
  }
}

TEST_F(PlatformModule, module_in_a_chinese_folder_has_a_gbk_file_name) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  // "启动器": its UTF-8 form ends in a byte that reads as a GBK lead byte.
  const std::string folder = WinForm(dir.path()) + "\\\xc6\xf4\xb6\xaf\xc6\xf7";
  std::filesystem::create_directory(dir.path() + "/启动器");
  std::filesystem::copy_file(kModuleDir + "/ZentCoreTest.so", dir.path() + "/启动器/ZentCoreTest.so");
  HMODULE lib = LoadLibraryA((folder + "\\ZentCoreTest.dll").c_str());
  ASSERT_NE(lib, nullptr);
  const std::string want = folder + "\\ZentCoreTest.so";
  const DWORD len = static_cast<DWORD>(want.size());
  const size_t lastCharAt = want.size() - std::string("\xc6\xf7\\ZentCoreTest.so").size();
  const DWORD cut = static_cast<DWORD>(lastCharAt);
  CheckFileNames(lib, want,
                 {{len + 1, len, 0, len},
                  {len, len, ERROR_INSUFFICIENT_BUFFER, len - 1},
                  // The cut falls inside the last double-byte character: it is left out whole.
                  {cut + 2, cut + 2, ERROR_INSUFFICIENT_BUFFER, lastCharAt},
                  {cut + 3, cut + 3, ERROR_INSUFFICIENT_BUFFER, lastCharAt + 2}});
  EXPECT_EQ(GetModuleHandleA(want.c_str()), lib);
  EXPECT_TRUE(FreeLibrary(lib));
}

TEST_F(PlatformModule, builtin_icmp_module_is_found_by_base_name) {
  EXPECT_EQ(GetModuleHandleA("icmp.dll"), nullptr);  // not loaded yet
  HMODULE builtin = LoadLibraryA("ICMP.DLL");
  ASSERT_NE(builtin, nullptr);
  EXPECT_EQ(LoadLibraryA("icmp"), builtin);
  EXPECT_EQ(LoadLibraryA("Icmp.so"), builtin);
  EXPECT_EQ(GetModuleHandleA("ICMP"), builtin);
  EXPECT_NE(GetProcAddress(builtin, "IcmpSendEcho"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(builtin, "icmpsendecho"), nullptr);  // export names are exact
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  char name[4096];
  EXPECT_GT(GetModuleFileNameA(builtin, name, sizeof name), 0u);
  EXPECT_NE(std::string(name).find("libzent_platform.so"), std::string::npos) << name;
  EXPECT_EQ(LoadLibraryA(".\\ICMP.DLL"), nullptr);  // a path names a file, never the built-in
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(FreeLibrary(builtin));
  EXPECT_EQ(GetModuleHandleA("ICMP.DLL"), nullptr);
}

}  // namespace
