// The decrypted district list as a document: its numeric character references in the
// list's own GBK, the one shape the launcher takes (a "District" root), and every problem
// the launcher's walk finds, in the words the operator's tool prints.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "components/interfaces.h"
#include "districts/district_walk.h"

// The XML reader would turn "&#x4e2d;" into UTF-8 bytes, which read as other characters
// in a GBK document; converted first, a reference reads as the character it names. A
// character GBK cannot hold becomes '?'. References to ASCII characters ("&#60;" too),
// malformed ones, and anything inside comments, CDATA sections, processing instructions
// and declarations stay as they are. Line numbers are unchanged.
std::string GbkFromCharacterReferences(const std::string& xml);

// True when the reader's document has a top-level "District" element; an empty one is a
// list without districts.
bool HasDistrictRoot(XmlReader& reader);

// Converts the references, gives the text to the reader, and says whether it parsed with
// a "District" root: only such a list may replace the local copy.
bool LoadDistrictList(XmlReader& reader, const std::string& xml);

struct DistrictListReport {
  int32_t dxCount;
  int32_t wtCount;
  // Each as `districtlist check` prints it after "problem: "; none when the launcher takes
  // the list exactly as written.
  std::vector<std::string> problems;
};

// The problems of a list whose document parsed (the tool reports a parse error itself):
// no top-level "District", then every "D" element the launcher skips or cuts, as
// "D element N: ...". `sink`, if given, hears each stored district and each element's
// problem as the walk meets them.
DistrictListReport CheckDistrictList(XmlReader& reader, DistrictWalkSink* sink);
