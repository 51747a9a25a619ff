// The walk over a decrypted district list: every "D" of the top-level "District" is read
// through an XmlReader and, when acceptable, stored in its group's next slot.
#pragma once

#include <stdint.h>

#include "components/interfaces.h"
#include "districts/district_table.h"

// The game web site's address, the url of a district that names none.
extern const char DefaultGameSiteUrl[];

// A district's address is a host with an optional port, handed to the game launcher
// unquoted before the command line: one holding a blank, a quote or a control character
// would split into more arguments, so such a district is not usable. Empty is usable
// here (the player is told the district has no address when choosing it).
bool IsUsableDistrictAddress(const char* url);

class DistrictWalkSink {
 public:
  // A district was written whole into `slot` (1..20) of `group` (Dx or Wt); latency is
  // still as the slot held it. The launcher starts the district's probe here.
  virtual void OnStored(int32_t group, int slot, DistrictInfo* record) = 0;
  // A "D" element (1-based index in the list) was skipped or had a field cut to the
  // width stored. Only reported when the walk checks lengths.
  virtual void OnProblem(int elementIndex, const char* what) {}
  // A district was skipped because its url is not a usable address (see
  // IsUsableDistrictAddress). Always reported: the launcher names it on standard error.
  virtual void OnUnusableAddress(int elementIndex, const char* name, const char* url) {}

 protected:
  ~DistrictWalkSink() = default;
};

struct DistrictWalkResult {
  int32_t dxCount;
  int32_t wtCount;
};

// checkLengths: also read each field with a larger buffer to report text that the
// record cannot hold (the operator's check tool); the stored records are the same.
DistrictWalkResult WalkDistrictList(XmlReader& reader, DistrictTable& table,
                                    DistrictWalkSink& sink, bool checkLengths);
