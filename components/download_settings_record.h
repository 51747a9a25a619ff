// The fixed 14 476-byte record with which the launcher configures a DownloadSettings
// component: texts are zero-terminated ANSI, numbers little-endian, every other byte zero.
#pragma once

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)
struct DownloadSettingsRecord {
  char remotePath[4096];   // 0: remote path of the file on the server
  char localDir[260];      // 4096: local directory below the program directory
  char localDirAlt[272];   // 4356: the same local directory again
  uint16_t serverCount;    // 4628: number of server entries (1)
  uint8_t reserved0[2];    // 4630
  char serverHost[68];     // 4632: host name, optionally "host:port"
  uint16_t serverPort;     // 4700: port, used when the host carries none
  uint8_t reserved1[14476 - 4702];
};
#pragma pack(pop)

static_assert(sizeof(DownloadSettingsRecord) == 14476, "record size is fixed");
static_assert(offsetof(DownloadSettingsRecord, localDir) == 4096, "offset");
static_assert(offsetof(DownloadSettingsRecord, localDirAlt) == 4356, "offset");
static_assert(offsetof(DownloadSettingsRecord, serverCount) == 4628, "offset");
static_assert(offsetof(DownloadSettingsRecord, serverHost) == 4632, "offset");
static_assert(offsetof(DownloadSettingsRecord, serverPort) == 4700, "offset");
