// Registers the XmlReader with the framework's factory; the reader itself lives in the
// corvio_xml library, which the district list tool links as well.
#include "corvio/registry.h"
#include "corvio/xml/xml_reader.h"

namespace {

Component* MakeXmlReader() { return new corvio::XmlReaderImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(1, MakeXmlReader);
