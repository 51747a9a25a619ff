// The launcher's own XmlReader, held by the tool for one command, so the tool reads a list
// exactly as the launcher does.
#pragma once

#include <memory>

#include "corvio/xml/xml_reader.h"

// A component ends only through Release.
struct ReleaseListReader {
  void operator()(corvio::XmlReaderImpl* reader) const { reader->Release(0); }
};
using ListReader = std::unique_ptr<corvio::XmlReaderImpl, ReleaseListReader>;

inline ListReader NewListReader() { return ListReader(new corvio::XmlReaderImpl()); }
