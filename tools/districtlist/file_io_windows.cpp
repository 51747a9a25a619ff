// The tool's files on Windows: the key file created new, with an access list that names
// the user who runs the tool alone and inherits nothing from the folder; binary standard
// streams; the replacing move.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <string>

#include "file_io.h"

namespace {

std::string SystemMessage(DWORD code) {
  char text[512] = {0};
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                      text, sizeof text - 1, nullptr))
    return "error " + std::to_string(code);
  std::string message(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message;
}

// The token's user SID, in `buffer`.
PSID CurrentUser(unsigned char* buffer, DWORD size) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD needed = 0;
  const BOOL got = GetTokenInformation(token, TokenUser, buffer, size, &needed);
  CloseHandle(token);
  return got ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid : nullptr;
}

}  // namespace

bool CreatePrivateFile(const std::string& path, const std::string& data, std::string* error) {
  alignas(TOKEN_USER) unsigned char user[256];
  alignas(ACL) unsigned char aclBuffer[512];
  SECURITY_DESCRIPTOR descriptor;
  PSID sid = CurrentUser(user, sizeof user);
  ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
  if (!sid || !InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) ||
      !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    *error = "cannot make an owner-only access list for '" + path + "': " + SystemMessage(GetLastError());
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    *error = "cannot create '" + path + "': " + SystemMessage(code) +
             (code == ERROR_FILE_EXISTS ? " (an existing key file is never replaced)" : "");
    return false;
  }
  DWORD wrote = 0;
  bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &wrote, nullptr) &&
            wrote == data.size() && FlushFileBuffers(file);
  const DWORD code = GetLastError();
  ok = CloseHandle(file) && ok;
  if (!ok) {
    *error = "cannot write '" + path + "': " + SystemMessage(code);
    DeleteFileA(path.c_str());
  }
  return ok;
}

void SetBinaryMode(FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

// rename() refuses an existing target on Windows; MoveFileEx replaces it.
bool ReplaceWithTemporary(const std::string& from, const std::string& to, int* code) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD reason = GetLastError();
  *code = reason == ERROR_ACCESS_DENIED || reason == ERROR_SHARING_VIOLATION ? EACCES
          : reason == ERROR_PATH_NOT_FOUND || reason == ERROR_FILE_NOT_FOUND ? ENOENT
                                                                            : EIO;
  return false;
}
