// The launcher's own XmlReader, held by the tool for one command, so the tool reads a list
// exactly as the launcher does.
#pragma once

#include <memory>
#include <string>

#include "corvio/xml/xml_reader.h"
#include "districts/list_document.h"

// A component ends only through Release.
struct ReleaseListReader {
  void operator()(corvio::XmlReaderImpl* reader) const { reader->Release(0); }
};
using ListReader = std::unique_ptr<corvio::XmlReaderImpl, ReleaseListReader>;

inline ListReader NewListReader() { return ListReader(new corvio::XmlReaderImpl()); }

// Gives the list to the reader as the launcher does (LoadDistrictList): numeric character
// references become GBK first, so a name reads as the launcher stores it. Returns whether
// the text parsed; whether it has a "District" root is the caller's next question.
inline bool ParseListAsLauncher(corvio::XmlReaderImpl& reader, const std::string& xml) {
  return reader.SetDocument(GbkFromCharacterReferences(xml).c_str()) != 0;
}
