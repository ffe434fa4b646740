#include "platform/property_list.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/binary_property_list.h"
#include "platform/property_list_text.h"
#include "platform/xml_property_list.h"

namespace tovik {

namespace {

// Looks at each array and dictionary once, however often it is shared, so
// a value whose members repeat (as a file's may) costs its distinct parts.
class Survey {
 public:
  // The number of container levels from `object` down (0 for a leaf), or -1
  // when it is not a property-list object or nests past the limit below
  // `depth`.
  int height(Object* object, int depth) {
    if (isLeaf(object)) return 0;
    if (as<Array>(object) == nullptr && as<Dictionary>(object) == nullptr) return -1;
    if (depth >= kMaxPropertyListDepth) return -1;
    if (auto it = heights_.find(object); it != heights_.end()) {
      return depth + it->second <= kMaxPropertyListDepth ? it->second : -1;
    }
    // The first member that fails ends the survey.
    int below = 0;
    const auto measure = [&](Object* member) {
      const int h = height(member, depth + 1);
      below = std::max(below, h);
      return h >= 0;
    };
    bool ok = true;
    if (const auto* array = as<Array>(object)) {
      for (const Ref<Object>& item : array->items()) ok = ok && measure(item.get());
    } else {
      for (const auto& entry : as<Dictionary>(object)->entries()) {
        ok = ok && measure(entry.second.get());
      }
    }
    if (!ok) return -1;
    heights_.emplace(object, below + 1);
    return below + 1;
  }

  // Whether every string and key below `object` is valid UTF-8.
  bool validText(Object* object) {
    if (const auto* string = as<String>(object)) return string->isValidUTF8();
    if (as<Array>(object) == nullptr && as<Dictionary>(object) == nullptr) return true;
    if (auto it = valid_.find(object); it != valid_.end()) return it->second;
    bool valid = true;
    if (const auto* array = as<Array>(object)) {
      for (const Ref<Object>& item : array->items()) valid = valid && validText(item.get());
    } else {
      for (const auto& [key, item] : as<Dictionary>(object)->entries()) {
        valid = valid && isValidUTF8(key) && validText(item.get());
      }
    }
    valid_.emplace(object, valid);
    return valid;
  }

  // `value` with the text of its strings and keys made valid.
  Ref<Object> withValidText(const Ref<Object>& value) {
    if (validText(value.get())) return value;
    if (const auto* string = as<String>(value.get())) return str(withValidUTF8(string->utf8()));
    if (auto it = replaced_.find(value.get()); it != replaced_.end()) return it->second;
    Ref<Object> replaced;
    if (const auto* array = as<Array>(value.get())) {
      std::vector<Ref<Object>> items;
      items.reserve(array->count());
      for (const Ref<Object>& item : array->items()) items.push_back(withValidText(item));
      replaced = Array::make(std::move(items));
    } else {
      Dictionary::Entries entries;
      for (const auto& [key, item] : as<Dictionary>(value.get())->entries()) {
        // Keys that differ only in bytes that are not UTF-8 become one key;
        // the last in order wins.
        entries.insert_or_assign(withValidUTF8(key), withValidText(item));
      }
      replaced = Dictionary::make(std::move(entries));
    }
    replaced_.emplace(value.get(), replaced);
    return replaced;
  }

 private:
  static bool isLeaf(Object* object) {
    return as<String>(object) != nullptr || as<Number>(object) != nullptr ||
           as<Data>(object) != nullptr || as<Date>(object) != nullptr;
  }

  std::unordered_map<const Object*, int> heights_;
  std::unordered_map<const Object*, bool> valid_;
  std::unordered_map<const Object*, Ref<Object>> replaced_;
};

}  // namespace

bool isPropertyListObject(const Object* value) {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): as<> takes a mutable pointer
  return Survey().height(const_cast<Object*>(value), 0) >= 0;
}

Ref<Object> withValidText(const Ref<Object>& value) { return Survey().withValidText(value); }

std::optional<Dictionary::Entries> parsePropertyListDictionary(std::string_view bytes) {
  const Ref<Object> root =
      isBinaryPropertyList(bytes) ? parseBinaryPropertyList(bytes) : parseXmlPropertyList(bytes);
  if (const auto* dictionary = as<Dictionary>(root.get())) return dictionary->entries();
  return std::nullopt;
}

}  // namespace tovik
