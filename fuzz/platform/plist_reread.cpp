// plist_reread FILE...: reads each file as the store's readers do and
// writes what they read, in binary form, to FILE.reread; writes nothing
// for a file they refuse, and prints why on the standard output.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/binary_property_list.h"
#include "platform/xml_property_list.h"

int main(int argc, char** argv) {
  using namespace tovik;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string why = "not a well-formed binary property list";
    const Ref<Object> read = isBinaryPropertyList(bytes) ? parseBinaryPropertyList(bytes)
                                                         : parseXmlPropertyList(bytes, &why);
    if (read == nullptr) {
      std::printf("%s: %s\n", argv[i], why.c_str());
      continue;
    }
    std::ofstream(std::string(argv[i]) + ".reread", std::ios::binary)
        << binaryPropertyList(read.get());
  }
  return 0;
}
