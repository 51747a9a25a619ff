// Parsing of the settings record into a download target, and the request address.
#include "corvio/download/download_target.h"

#include <string.h>
#include <strings.h>

#include <vector>

namespace corvio {

namespace {

// The text of a fixed-size field, or false when it has no terminating NUL.
bool FieldText(const char* field, size_t width, std::string* out) {
  const size_t length = strnlen(field, width);
  if (length == width) return false;
  out->assign(field, length);
  return true;
}

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path + "/") {
    if (c == '/' || c == '\\') {
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  return parts;
}

bool ParsePort(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  *port = value;
  return true;
}

bool IsHostNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '-' || c == '_';
}

bool IsIpv6Char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
         c == ':' || c == '.';
}

// host, host:port, [v6] or [v6]:port; a scheme prefix and a trailing slash are forgiven.
bool ParseHost(std::string text, int defaultPort, DownloadTarget* out, std::string* why) {
  text = Trim(text);
  if (text.size() >= 7 && strncasecmp(text.c_str(), "http://", 7) == 0) text = text.substr(7);
  while (!text.empty() && text.back() == '/') text.pop_back();
  if (text.empty()) {
    *why = "no server host";
    return false;
  }
  std::string host, portText;
  if (text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) {
      *why = "unclosed [ in the server host";
      return false;
    }
    host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') {
        *why = "text after ] in the server host";
        return false;
      }
      portText = rest.substr(1);
      if (portText.empty()) {
        *why = "empty port in the server host";
        return false;
      }
    }
    for (char c : host) {
      if (!IsIpv6Char(c)) {
        *why = "bad character in the server address";
        return false;
      }
    }
  } else {
    const size_t colon = text.find(':');
    host = text.substr(0, colon);
    if (colon != std::string::npos) {
      portText = text.substr(colon + 1);
      if (portText.empty()) {
        *why = "empty port in the server host";
        return false;
      }
    }
    for (char c : host) {
      if (!IsHostNameChar(c)) {
        *why = "bad character in the server host";
        return false;
      }
    }
  }
  if (host.empty()) {
    *why = "no server host";
    return false;
  }
  int port = defaultPort > 0 ? defaultPort : 80;
  if (!portText.empty() && !ParsePort(portText, &port)) {
    *why = "bad port in the server host";
    return false;
  }
  out->host = host;
  out->port = port;
  return true;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         strchr("-._~!$&'()*+,;=:@", c) != nullptr;
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Percent-encodes one path segment; an existing %XX escape is kept as it is.
std::string EncodeSegment(const std::string& segment) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < segment.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(segment[i]);
    if (c == '%' && i + 2 < segment.size() && IsHex(segment[i + 1]) && IsHex(segment[i + 2])) {
      out += '%';
    } else if (c != 0 && IsUnreserved(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

bool ParseDownloadTarget(const DownloadSettingsRecord& record, DownloadTarget* out,
                         std::string* why) {
  std::string ignored;
  if (!why) why = &ignored;
  if (!out) return false;
  std::string host, remote, local, localAlt;
  if (!FieldText(record.serverHost, sizeof record.serverHost, &host) ||
      !FieldText(record.remotePath, sizeof record.remotePath, &remote) ||
      !FieldText(record.localDir, sizeof record.localDir, &local) ||
      !FieldText(record.localDirAlt, sizeof record.localDirAlt, &localAlt)) {
    *why = "a text of the settings record is not terminated";
    return false;
  }
  DownloadTarget target;
  if (!ParseHost(host, record.serverPort, &target, why)) return false;

  std::string path;
  for (const std::string& part : Segments(remote)) path += (path.empty() ? "" : "/") + part;
  target.remotePath = path;

  local = Trim(local).empty() ? Trim(localAlt) : Trim(local);
  if (!local.empty() && (local[0] == '\\' || local[0] == '/' || local.find(':') != std::string::npos)) {
    *why = "the local folder must be relative to the program directory";
    return false;
  }
  std::string dir;
  for (const std::string& part : Segments(local)) {
    if (part == "..") {
      *why = "the local folder must stay inside the program directory";
      return false;
    }
    dir += (dir.empty() ? "" : "\\") + part;
  }
  target.localDir = dir;
  *out = target;
  return true;
}

std::string BuildDownloadUrl(const DownloadTarget& target, const std::string& fileName) {
  const bool v6 = target.host.find(':') != std::string::npos;
  std::string url = "http://";
  url += v6 ? "[" + target.host + "]" : target.host;
  url += ":" + std::to_string(target.port) + "/";
  for (const std::string& part : Segments(target.remotePath)) url += EncodeSegment(part) + "/";
  url += EncodeSegment(fileName);
  return url;
}

bool IsPlainFileName(const char* name) {
  if (!name || !*name) return false;
  if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
  for (const char* p = name; *p; ++p) {
    if (*p == '/' || *p == '\\' || *p == ':') return false;
  }
  return true;
}

}  // namespace corvio
