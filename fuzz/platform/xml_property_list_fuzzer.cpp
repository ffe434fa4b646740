// The XML reader on any bytes, in any encoding, and the XML writer on what
// it reads: what the writer prints reads back, and from then on printing
// and reading change nothing. (The first printing replaces what XML cannot
// carry, which may reorder keys or make two keys one.) The binary form of
// what is read reads back too.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/binary_property_list.h"
#include "platform/xml_property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tovik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Ref<Object> read = parseXmlPropertyList(bytes);
  if (read == nullptr) return 0;
  if (parseBinaryPropertyList(binaryPropertyList(read.get())) == nullptr) std::abort();
  const std::string printed = xmlPropertyList(read.get());
  const Ref<Object> reread = parseXmlPropertyList(printed);
  if (reread == nullptr) std::abort();
  const std::string settled = xmlPropertyList(reread.get());
  const Ref<Object> again = parseXmlPropertyList(settled);
  if (again == nullptr || xmlPropertyList(again.get()) != settled) std::abort();
  return 0;
}
