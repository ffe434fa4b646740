#include "platform/property_list.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace tovik {

namespace {

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// Takes a string libplist allocated.
std::string takeString(char* text) {
  std::string out = text != nullptr ? text : "";
  std::free(text);  // NOLINT(cppcoreguidelines-no-malloc): libplist allocates with malloc
  return out;
}

plist_t toNode(const Object* value) {
  Object* object = const_cast<Object*>(value);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  if (const auto* string = as<String>(object)) return plist_new_string(string->utf8().c_str());
  if (const auto* number = as<Number>(object)) {
    switch (number->kind()) {
      case Number::Kind::Boolean:
        return plist_new_bool(number->boolValue() ? 1 : 0);
      case Number::Kind::Integer:
        // libplist keeps integers as 64-bit patterns and writes them signed.
        return plist_new_uint(static_cast<std::uint64_t>(number->integerValue()));
      case Number::Kind::Real:
        return plist_new_real(number->doubleValue());
    }
  }
  if (const auto* array = as<Array>(object)) {
    plist_t node = plist_new_array();
    for (const Ref<Object>& item : array->items())
      plist_array_append_item(node, toNode(item.get()));
    return node;
  }
  if (const auto* dictionary = as<Dictionary>(object)) {
    plist_t node = plist_new_dict();
    for (const auto& [key, item] : dictionary->entries()) {
      plist_dict_set_item(node, key.c_str(), toNode(item.get()));
    }
    return node;
  }
  throw PlatformError(std::string("NSUserDefaults: attempt to store a non-property-list object (") +
                      (value != nullptr ? value->isa()->name() : "nil") + ")");
}

Ref<Object> fromNode(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      char* text = nullptr;
      plist_get_string_val(node, &text);
      return str(takeString(text));
    }
    case PLIST_BOOLEAN: {
      std::uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return Number::withBool(value != 0);
    }
    case PLIST_UINT: {
      std::uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return Number::withInteger(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return Number::withDouble(value);
    }
    case PLIST_ARRAY: {
      std::vector<Ref<Object>> items;
      const std::uint32_t count = plist_array_get_size(node);
      for (std::uint32_t i = 0; i < count; ++i) {
        if (Ref<Object> item = fromNode(plist_array_get_item(node, i))) items.push_back(item);
      }
      return Array::make(std::move(items));
    }
    case PLIST_DICT: {
      Dictionary::Entries entries;
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &key, &item);
        if (item == nullptr) {
          std::free(key);  // NOLINT(cppcoreguidelines-no-malloc)
          break;
        }
        std::string name = takeString(key);
        if (Ref<Object> value = fromNode(item)) entries.insert_or_assign(std::move(name), value);
      }
      std::free(iter);  // NOLINT(cppcoreguidelines-no-malloc)
      return Dictionary::make(std::move(entries));
    }
    default:
      return nullptr;
  }
}

}  // namespace

bool isPropertyListObject(const Object* value) {
  Object* object = const_cast<Object*>(value);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  if (as<String>(object) != nullptr || as<Number>(object) != nullptr) return true;
  if (const auto* array = as<Array>(object)) {
    for (const Ref<Object>& item : array->items()) {
      if (!isPropertyListObject(item.get())) return false;
    }
    return true;
  }
  if (const auto* dictionary = as<Dictionary>(object)) {
    for (const auto& [key, item] : dictionary->entries()) {
      if (!isPropertyListObject(item.get())) return false;
    }
    return true;
  }
  return false;
}

std::optional<Dictionary::Entries> parsePropertyListDictionary(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max())
    return std::nullopt;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  const Plist owned(root);
  if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
  return as<Dictionary>(fromNode(root).get())->entries();
}

std::string xmlPropertyList(const Object* value) {
  const Plist root(toNode(value));
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  std::string out(xml != nullptr ? xml : "", length);
  plist_to_xml_free(xml);
  return out;
}

}  // namespace tovik
