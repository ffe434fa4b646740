#include "platform/property_list.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "platform/binary_property_list.h"
#include "platform/property_list_text.h"
#include "platform/xml_property_list.h"

namespace tovik {

namespace {

// How many members (the value itself, and each item, key's value and leaf
// below it) a quick walk visits before it gives up. Kept below the nesting
// limit, so a walk that finishes cannot have nested past it.
constexpr int kQuickWalkMembers = 128;
static_assert(kQuickWalkMembers <= kMaxPropertyListDepth);

// A walk of a small value without memory of what it met: it visits a
// shared member once per path to it, so it gives up after
// kQuickWalkMembers members, and the value is then surveyed instead.
class QuickWalk {
 public:
  enum class Verdict { NotPropertyList, InvalidText, Valid, GaveUp };

  Verdict check(const Object* value) {
    if (!visit(value)) return stopped_;
    return validText_ ? Verdict::Valid : Verdict::InvalidText;
  }

 private:
  // False ends the walk, with the reason in stopped_.
  bool visit(const Object* object) {
    if (--budget_ < 0) return stop(Verdict::GaveUp);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): as<> takes a mutable pointer
    auto* member = const_cast<Object*>(object);
    if (as<Number>(member) != nullptr) return true;
    if (const auto* string = as<String>(member)) {
      validText_ = validText_ && isValidUTF8(string->utf8());
      return true;
    }
    if (const auto* dictionary = as<Dictionary>(member)) {
      for (const auto& [key, item] : dictionary->entries()) {
        validText_ = validText_ && isValidUTF8(key);
        if (!visit(item.get())) return false;
      }
      return true;
    }
    if (const auto* array = as<Array>(member)) {
      for (const Ref<Object>& item : array->items()) {
        if (!visit(item.get())) return false;
      }
      return true;
    }
    if (as<Data>(member) != nullptr || as<Date>(member) != nullptr) return true;
    return stop(Verdict::NotPropertyList);
  }

  bool stop(Verdict why) {
    stopped_ = why;
    return false;
  }

  int budget_ = kQuickWalkMembers;
  bool validText_ = true;
  Verdict stopped_ = Verdict::Valid;
};

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
    if (const auto* string = as<String>(object)) return isValidUTF8(string->utf8());
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
  const QuickWalk::Verdict verdict = QuickWalk().check(value);
  if (verdict != QuickWalk::Verdict::GaveUp) return verdict != QuickWalk::Verdict::NotPropertyList;
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): as<> takes a mutable pointer
  return Survey().height(const_cast<Object*>(value), 0) >= 0;
}

Ref<Object> withValidText(const Ref<Object>& value) {
  if (QuickWalk().check(value.get()) == QuickWalk::Verdict::Valid) return value;
  return Survey().withValidText(value);
}

Ref<Object> asValidPropertyList(Object* value, int depth) {
  // A quick walk that finishes has met fewer levels than members.
  const bool quick = depth + kQuickWalkMembers <= kMaxPropertyListDepth;
  switch (quick ? QuickWalk().check(value) : QuickWalk::Verdict::GaveUp) {
    case QuickWalk::Verdict::Valid:
      return value->retain();
    case QuickWalk::Verdict::InvalidText:
      return Survey().withValidText(value->retain());
    case QuickWalk::Verdict::NotPropertyList:
      return nullptr;
    case QuickWalk::Verdict::GaveUp:
      break;
  }
  // One survey answers both, each container looked at once.
  Survey survey;
  if (survey.height(value, depth) < 0) return nullptr;
  return survey.withValidText(value->retain());
}

std::optional<Dictionary::Entries> parsePropertyListDictionary(std::string_view bytes,
                                                               std::string* why) {
  const bool binary = isBinaryPropertyList(bytes);
  const Ref<Object> root =
      binary ? parseBinaryPropertyList(bytes) : parseXmlPropertyList(bytes, why);
  if (const auto* dictionary = as<Dictionary>(root.get())) return dictionary->entries();
  if (why != nullptr && (root != nullptr || binary)) {
    *why = root != nullptr ? "the top object is not a dictionary"
                           : "not a well-formed binary property list";
  }
  return std::nullopt;
}

}  // namespace tovik
