// Creating framework components: the factory from the library's CreateComponent export,
// components by ComponentId, and the reports that failures write to the debugger output.
#include "components/loader.h"

#include <stdarg.h>
#include <string.h>

#include "components/loader_paths.h"
#include "components/safe_string.h"
#include "platform/win32.h"

namespace {

const char kFactoryLibraryName[] = "CorvFact.dll";
const char kConfigFileName[] = "Corvio.ini";

FactoryLibraryReport g_report = {FactoryFailure::None, {0}, {0}, 0};

void Fail(FactoryFailure failure) { g_report.failure = failure; }

// Asks the loaded library for a factory; null (reported) when it offers none.
ComponentFactory* FactoryFromLibrary(HMODULE library) {
  ComponentFactory* factory = nullptr;
  FARPROC entry = GetProcAddress(library, "CreateComponent");
  if (!entry) {
    Fail(FactoryFailure::NoEntry);
    ReportError("[Corvio_Error] Can't find CreateComponent().\n");
  } else {
    // Through void (*)(void), the one function type any other may be cast from quietly.
    CreateComponentFn create =
        reinterpret_cast<CreateComponentFn>(reinterpret_cast<void (*)(void)>(entry));
    factory = create(ComponentFactory::kId, 0);
    if (!factory) {
      Fail(FactoryFailure::NoFactory);
      ReportError("[Corvio_Error] CreateComponent(ComponentId=%u) return null.\n",
                  static_cast<unsigned>(ComponentFactory::kId));
    }
  }
  if (!factory) ReportError("[Corvio_Error] Create ComponentFactory in CorvFact.dll Fail\n");
  return factory;
}

}  // namespace

const FactoryLibraryReport& LastFactoryLibrary() { return g_report; }

HMODULE LoadFactoryLibrary() {
  memset(&g_report, 0, sizeof g_report);
  HMODULE loaded = GetModuleHandleA(kFactoryLibraryName);
  if (loaded) {
    g_safeString.Copy(g_report.library, LauncherPathSize, kFactoryLibraryName);
    return loaded;
  }

  // A cut path names an ancestor folder: its Corvio.ini must never be taken.
  const char* directory = ProgramDirectory();
  if (directory[0] == '\0') {
    Fail(FactoryFailure::ProgramFolderUnusable);
    ReportError("[Corvio_Error] The program folder's path is longer than %d bytes.\n",
                LauncherPathSize - 1);
    return nullptr;
  }
  LoaderPath startFile;
  memset(startFile, 0, sizeof startFile);
  SafeFormat(startFile, LauncherPathSize, LauncherPathSize - 1, "%s\\%s", directory,
             kConfigFileName);
  LoaderPath configFile;
  ResolveConfigFile(startFile, configFile);
  g_safeString.Copy(g_report.configFile, LauncherPathSize, configFile);

  LoaderPath dllName;
  ReadTrimmedString(configFile, kFactorySection, "DLL", "", dllName, LauncherPathSize);
  if (dllName[0] == '\0') {  // nothing names a library: its path would be a folder
    const bool exists = GetFileAttributesA(configFile) != INVALID_FILE_ATTRIBUTES;
    Fail(exists ? FactoryFailure::NoLibraryNamed : FactoryFailure::ConfigMissing);
    return nullptr;
  }
  LoaderPath libraryPath;
  memset(libraryPath, 0, sizeof libraryPath);
  if (IsAbsolutePath(dllName)) {
    g_safeString.Copy(libraryPath, LauncherPathSize, dllName);
  } else {
    BuildLibraryPath(configFile, dllName, libraryPath);
  }
  g_safeString.Copy(g_report.library, LauncherPathSize, libraryPath);
  HMODULE library = LoadLibraryA(libraryPath);
  if (!library) {
    g_report.error = GetLastError();
    Fail(FactoryFailure::LibraryNotLoaded);
  }
  return library;
}

ComponentFactory* CreateComponentFactory() {
  HMODULE library = LoadFactoryLibrary();
  if (!library) {
    ReportError("[Corvio_Error] Load CorvFact.dll Fail.\n");
    return nullptr;
  }
  return FactoryFromLibrary(library);
}

int CreateComponentById(Component** out, ComponentId id, const char* configPath) {
  if (!out) return 0;
  if (id == 0) ReportError("[Corvio_Error] TCorvioPtr with ComponentId = 0\n");

  ComponentFactory* factory = CreateComponentFactory();
  Component* component = factory ? factory->NewComponent(id, configPath) : nullptr;
  if (!component) return 0;
  component->Initialize(0);
  *out = component;
  return 1;
}

void ReportError(const char* format, ...) {
  char message[1024];
  memset(message, 0, sizeof message);
  va_list args;
  va_start(args, format);
  g_safeString.VFormat(message, sizeof message, sizeof message - 1, format, args);
  va_end(args);
  OutputDebugStringA(message);
}
