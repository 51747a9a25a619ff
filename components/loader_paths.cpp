// Finding the factory library: the executable's directory, the Corvio.ini redirection
// chain, and the library path built from the configuration in force.
#include "components/loader_paths.h"

#include <string.h>

#include "components/loader.h"  // ReportError
#include "components/safe_string.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool HasNonBlank(const char* text) {
  for (; *text; ++text) {
    if (!IsBlank(*text)) return true;
  }
  return false;
}

}  // namespace

bool IsAbsolutePath(const char* path) {
  if (!path) return false;
  return path[0] == '\\' || FindFirstChar(path, ':') != nullptr;
}

void DirectoryPart(const char* path, LoaderPath& out) {
  memset(out, 0, sizeof out);
  const char* cut = FindLastChar(path, '\\');
  if (!cut) cut = FindLastChar(path, '/');
  if (cut) {
    const int prefix = static_cast<int>(cut - path) + 1;
    if (prefix < LauncherPathSize) memcpy(out, path, static_cast<size_t>(prefix));
    return;
  }
  if (static_cast<int>(strlen(path)) < LauncherPathSize) g_safeString.Copy(out, LauncherPathSize, path);
  g_safeString.Append(out, LauncherPathSize, "\\");
}

void ReadTrimmedString(const char* file, const char* section, const char* key,
                       const char* defaultValue, char* out, int outSize) {
  if (!out || outSize <= 0) return;
  memset(out, 0, static_cast<size_t>(outSize));
  char value[1024];
  memset(value, 0, sizeof value);
  GetPrivateProfileStringA(section, key, defaultValue, value, sizeof value, file);
  const char* begin = value;
  while (IsBlank(*begin)) ++begin;
  char* end = value + strlen(value);
  while (end > begin && IsBlank(end[-1])) --end;
  *end = '\0';
  if (static_cast<int>(end - begin) < outSize) g_safeString.Copy(out, outSize, begin);
}

void ResolveConfigFile(const char* configFile, LoaderPath& out) {
  memset(out, 0, sizeof out);
  LoaderPath current;
  memset(current, 0, sizeof current);
  if (g_safeString.Copy(current, LauncherPathSize, configFile) != 0) return;

  for (int followed = 0;; ++followed) {
    LoaderPath redirect;
    memset(redirect, 0, sizeof redirect);
    GetPrivateProfileStringA("Redirect", "Path", "", redirect, LauncherPathSize, current);
    if (!HasNonBlank(redirect)) break;
    if (!IsAbsolutePath(redirect)) {
      // A relative redirection ends the chain: the file it names is not examined.
      DirectoryPart(current, out);
      g_safeString.Append(out, LauncherPathSize, redirect);
      return;
    }
    if (followed == kMaxConfigRedirects) {
      ReportError("[Corvio_Error] Redirect chain longer than %d files, using %s\n",
                  kMaxConfigRedirects, current);
      break;
    }
    g_safeString.Copy(current, LauncherPathSize, redirect);
  }
  g_safeString.Copy(out, LauncherPathSize, current);
}

void BuildLibraryPath(const char* configFile, const char* dllName, LoaderPath& out) {
  memset(out, 0, sizeof out);
  char notUseDefault[10];
  ReadTrimmedString(configFile, kFactorySection, "NotUseDefaultDllPath", "0", notUseDefault,
                    sizeof notUseDefault);
  if (notUseDefault[0] == '1') {
    DirectoryPart(configFile, out);
    g_safeString.Append(out, LauncherPathSize, dllName);
    return;
  }

  LoaderPath dllPath;
  memset(dllPath, 0, sizeof dllPath);
  GetPrivateProfileStringA("DefaultValue", "DllPath", "", dllPath, LauncherPathSize, configFile);
  LoaderPath candidate;
  memset(candidate, 0, sizeof candidate);
  if (HasNonBlank(dllPath)) {
    // Each piece goes in only if the whole still fits; one that does not is left out.
    g_safeString.Copy(candidate, LauncherPathSize, dllPath);
    g_safeString.Append(candidate, LauncherPathSize, "\\");
    g_safeString.Append(candidate, LauncherPathSize, dllName);
  } else {
    g_safeString.Copy(candidate, LauncherPathSize, dllName);
  }

  if (IsAbsolutePath(candidate)) {
    g_safeString.Copy(out, LauncherPathSize, candidate);
    return;
  }
  DirectoryPart(configFile, out);
  g_safeString.Append(out, LauncherPathSize, candidate);
}
