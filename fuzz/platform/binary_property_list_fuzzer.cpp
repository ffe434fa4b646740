// The binary reader on any bytes, and the writer on what it reads: what is
// read writes a file that reads back to the same value, so writing it again
// gives the same bytes. The writer keeps shared containers shared, so the
// bytes compare structure as well as values.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/binary_property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tovik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Ref<Object> read = parseBinaryPropertyList(bytes);
  if (read == nullptr) return 0;
  const std::string written = binaryPropertyList(read.get());
  const Ref<Object> reread = parseBinaryPropertyList(written);
  if (reread == nullptr || binaryPropertyList(reread.get()) != written) std::abort();
  return 0;
}
