#include "platform/foundation.h"

#include <algorithm>
#include <cctype>
#include <string>

// A block as clang's block ABI lays it out (the same on a Mac and in
// libBlocksRuntime), read only to tell a block from another object and to
// read its recorded signature.
extern "C" {
extern void* _NSConcreteStackBlock[32];   // NOLINT(bugprone-reserved-identifier)
extern void* _NSConcreteMallocBlock[32];  // NOLINT(bugprone-reserved-identifier)
extern void* _NSConcreteGlobalBlock[32];  // NOLINT(bugprone-reserved-identifier)
}

namespace tovik::detail {

namespace {

struct BlockLayout {
  void* isa;
  int flags;
  int reserved;
  void (*invoke)();
  const unsigned long* descriptor;  // reserved, size, [copy, dispose], [signature]
};
constexpr int kHasCopyDispose = 1 << 25;
constexpr int kHasSignature = 1 << 30;

// An encoding reduced to its types: no frame offsets, no class names
// ("@\"NSString\"") or block signatures ("@?<v@?>"), no qualifiers, and one
// letter for every one-byte truth.
std::string typesOnly(std::string_view encoding) {
  std::string types;
  for (std::size_t i = 0; i < encoding.size(); ++i) {
    const char c = encoding[i];
    if (c == '"' || c == '<') {
      const std::size_t close = encoding.find(c == '"' ? '"' : '>', i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (std::isdigit(static_cast<unsigned char>(c)) == 0 &&
               std::string_view("rnNoORV").find(c) == std::string_view::npos) {
      types += c == 'c' || c == 'C' ? 'B' : c;
    }
  }
  return types;
}

}  // namespace

bool isBlockOfTypes(const BlockBase* block, std::string_view types) {
  const auto* layout = reinterpret_cast<const BlockLayout*>(block);
  if (layout->isa != _NSConcreteStackBlock && layout->isa != _NSConcreteMallocBlock &&
      layout->isa != _NSConcreteGlobalBlock) {
    return false;
  }
  if ((layout->flags & kHasSignature) == 0) return true;
  const unsigned long* field = layout->descriptor + 2;
  if ((layout->flags & kHasCopyDispose) != 0) field += 2;
  const char* signature = *reinterpret_cast<const char* const*>(field);
  return signature != nullptr && typesOnly(signature) == typesOnly(types);
}

}  // namespace tovik::detail
