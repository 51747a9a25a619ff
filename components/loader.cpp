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

// Asks the loaded library for a factory; null (reported) when it offers none.
ComponentFactory* FactoryFromLibrary(HMODULE library) {
  ComponentFactory* factory = nullptr;
  FARPROC entry = GetProcAddress(library, "CreateComponent");
  if (!entry) {
    ReportError("[Corvio_Error] Can't find CreateComponent().\n");
  } else {
    // Through void (*)(void), the one function type any other may be cast from quietly.
    CreateComponentFn create =
        reinterpret_cast<CreateComponentFn>(reinterpret_cast<void (*)(void)>(entry));
    factory = create(ComponentFactory::kId, 0);
    if (!factory) {
      ReportError("[Corvio_Error] CreateComponent(ComponentId=%u) return null.\n",
                  static_cast<unsigned>(ComponentFactory::kId));
    }
  }
  if (!factory) ReportError("[Corvio_Error] Create ComponentFactory in CorvFact.dll Fail\n");
  return factory;
}

}  // namespace

HMODULE LoadFactoryLibrary() {
  HMODULE loaded = GetModuleHandleA(kFactoryLibraryName);
  if (loaded) return loaded;

  LoaderPath startFile;
  memset(startFile, 0, sizeof startFile);
  SafeFormat(startFile, kLoaderPathSize, kLoaderPathSize - 1, "%s\\%s", ExecutableDirectory(),
             kConfigFileName);
  LoaderPath configFile;
  ResolveConfigFile(startFile, configFile);

  LoaderPath dllName;
  ReadTrimmedString(configFile, kFactorySection, "DLL", "", dllName, kLoaderPathSize);
  LoaderPath libraryPath;
  memset(libraryPath, 0, sizeof libraryPath);
  if (IsAbsolutePath(dllName)) {
    g_safeString.Copy(libraryPath, kLoaderPathSize, dllName);
  } else {
    BuildLibraryPath(configFile, dllName, libraryPath);
  }
  return LoadLibraryA(libraryPath);
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
