#include "platform/binary_property_list.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/property_list.h"
#include "platform/property_list_text.h"

namespace tovik {

namespace {

constexpr std::string_view kMagic = "bplist00";
constexpr std::size_t kTrailerSize = 32;

// An object's first byte, its marker: the high four bits say the kind, the
// low four a size or a count (15: the count follows as an integer object).
// Booleans and dates have whole markers of their own.
constexpr unsigned kFalse = 0x08;
constexpr unsigned kTrue = 0x09;
constexpr unsigned kDate = 0x33;  // a real of eight bytes: seconds since 2001
constexpr unsigned kInteger = 0x1;
constexpr unsigned kReal = 0x2;
constexpr unsigned kData = 0x4;
constexpr unsigned kAsciiString = 0x5;
constexpr unsigned kUtf16String = 0x6;
constexpr unsigned kArray = 0xA;
constexpr unsigned kDictionary = 0xD;
constexpr unsigned kCountFollows = 0xF;

// ---- Writing ----

void putBigEndian(std::string& out, std::uint64_t value, std::size_t size) {
  for (std::size_t i = size; i-- > 0;) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFU));
}

// The fewest bytes of 1, 2, 4 or 8 that hold `value`.
std::size_t widthFor(std::uint64_t value) {
  if (value <= 0xFFU) return 1;
  if (value <= 0xFFFFU) return 2;
  if (value <= 0xFFFFFFFFU) return 4;
  return 8;
}

// A non-negative integer in the fewest bytes; negative ones take eight.
void putInteger(std::string& out, std::int64_t value) {
  const std::size_t width = value < 0 ? 8 : widthFor(static_cast<std::uint64_t>(value));
  out.push_back(
      static_cast<char>((kInteger << 4U) | static_cast<unsigned>(std::countr_zero(width))));
  putBigEndian(out, static_cast<std::uint64_t>(value), width);
}

void putMarker(std::string& out, unsigned kind, std::size_t count) {
  if (count < kCountFollows) {
    out.push_back(static_cast<char>((kind << 4U) | count));
    return;
  }
  out.push_back(static_cast<char>((kind << 4U) | kCountFollows));
  putInteger(out, static_cast<std::int64_t>(count));
}

void putReal(std::string& out, unsigned marker, double value) {
  out.push_back(static_cast<char>(marker));
  putBigEndian(out, std::bit_cast<std::uint64_t>(value), 8);
}

std::string encodeString(std::string_view utf8) {
  std::string out;
  bool ascii = true;
  for (const char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    putMarker(out, kAsciiString, utf8.size());
    out.append(utf8);
    return out;
  }
  std::vector<char16_t> units;
  forEachCodePoint(utf8, [&units](char32_t c) {
    if (c < 0x10000) {
      units.push_back(static_cast<char16_t>(c));
    } else {
      const char32_t v = c - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (v >> 10U)));
      units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FFU)));
    }
  });
  putMarker(out, kUtf16String, units.size());
  for (const char16_t unit : units) putBigEndian(out, unit, 2);
  return out;
}

std::string encodeNumber(const Number& number) {
  std::string out;
  switch (number.kind()) {
    case Number::Kind::Boolean:
      out.push_back(static_cast<char>(number.boolValue() ? kTrue : kFalse));
      break;
    case Number::Kind::Integer:
      putInteger(out, number.integerValue());
      break;
    case Number::Kind::Unsigned:
      if (number.unsignedIntegerValue() <= std::numeric_limits<std::int64_t>::max()) {
        putInteger(out, number.integerValue());
      } else {
        // Sixteen bytes, the upper eight zero: a positive 128-bit integer.
        out.push_back(static_cast<char>((kInteger << 4U) | 4U));
        putBigEndian(out, 0, 8);
        putBigEndian(out, number.unsignedIntegerValue(), 8);
      }
      break;
    case Number::Kind::Real:
      putReal(out, (kReal << 4U) | 3U, number.doubleValue());
      break;
  }
  return out;
}

// Flattens the object tree into the object table: containers hold the
// indexes of their members, everything else its encoded bytes.
class Writer {
 public:
  std::string write(const Object* root) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): as<> takes a mutable pointer
    add(const_cast<Object*>(root));
    const std::size_t refWidth = widthFor(objects_.size() - 1);
    std::string out(kMagic);
    std::vector<std::uint64_t> offsets;
    offsets.reserve(objects_.size());
    for (const Entry& entry : objects_) {
      offsets.push_back(out.size());
      out += entry.scalar != nullptr ? *entry.scalar : entry.header;
      for (const std::size_t ref : entry.refs) putBigEndian(out, ref, refWidth);
    }
    const std::uint64_t tableOffset = out.size();
    const std::size_t offsetWidth = widthFor(tableOffset);
    for (const std::uint64_t offset : offsets) putBigEndian(out, offset, offsetWidth);
    out.append(6, '\0');  // unused, and the sort version
    out.push_back(static_cast<char>(offsetWidth));
    out.push_back(static_cast<char>(refWidth));
    putBigEndian(out, objects_.size(), 8);
    putBigEndian(out, 0, 8);  // the top object comes first
    putBigEndian(out, tableOffset, 8);
    return out;
  }

 private:
  struct Entry {
    const std::string* scalar = nullptr;  // the whole object, kept in scalars_
    std::string header;                   // a container's marker and count
    std::vector<std::size_t> refs;        // and its members
  };

  std::size_t addScalar(std::string bytes) {
    auto [it, added] = scalars_.try_emplace(std::move(bytes), objects_.size());
    if (added) objects_.push_back({&it->first, {}, {}});
    return it->second;
  }

  std::size_t addContainer(const Object* container, unsigned kind, std::size_t count) {
    Entry entry;
    putMarker(entry.header, kind, count);
    objects_.push_back(std::move(entry));
    containers_.emplace(container, objects_.size() - 1);
    return objects_.size() - 1;
  }

  std::size_t add(Object* object) {
    if (const auto* string = as<String>(object)) return addScalar(encodeString(string->utf8()));
    if (const auto* number = as<Number>(object)) return addScalar(encodeNumber(*number));
    if (const auto* data = as<Data>(object)) {
      std::string bytes;
      putMarker(bytes, kData, data->length());
      return addScalar(bytes + data->bytes());
    }
    if (const auto* date = as<Date>(object)) {
      std::string bytes;
      putReal(bytes, kDate, date->timeIntervalSinceReferenceDate());
      return addScalar(std::move(bytes));
    }
    // A container met again (values may share them) is written once.
    if (auto it = containers_.find(object); it != containers_.end()) return it->second;
    if (const auto* array = as<Array>(object)) {
      const std::size_t index = addContainer(object, kArray, array->count());
      std::vector<std::size_t> refs;
      refs.reserve(array->count());
      for (const Ref<Object>& item : array->items()) refs.push_back(add(item.get()));
      objects_[index].refs = std::move(refs);
      return index;
    }
    if (const auto* dictionary = as<Dictionary>(object)) {
      const std::size_t index = addContainer(object, kDictionary, dictionary->count());
      std::vector<std::size_t> refs;
      refs.reserve(2 * dictionary->count());
      for (const auto& entry : dictionary->entries())
        refs.push_back(addScalar(encodeString(entry.first)));
      for (const auto& entry : dictionary->entries()) refs.push_back(add(entry.second.get()));
      objects_[index].refs = std::move(refs);
      return index;
    }
    throw PlatformError(std::string("not a property-list object: ") +
                        (object != nullptr ? object->isa()->name() : "nil"));
  }

  std::vector<Entry> objects_;
  std::map<std::string, std::size_t, std::less<>> scalars_;
  std::unordered_map<const Object*, std::size_t> containers_;
};

// ---- Reading ----

struct Malformed {};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  Ref<Object> read() {
    if (!isBinaryPropertyList(bytes_) || bytes_.size() < kMagic.size() + 1 + kTrailerSize) {
      throw Malformed{};
    }
    const std::size_t trailer = bytes_.size() - kTrailerSize;
    offsetWidth_ = byte(trailer + 6);
    refWidth_ = byte(trailer + 7);
    const std::uint64_t count = bigEndian(trailer + 8, 8);
    const std::uint64_t top = bigEndian(trailer + 16, 8);
    tableOffset_ = bigEndian(trailer + 24, 8);
    if (offsetWidth_ == 0 || refWidth_ == 0) throw Malformed{};
    // The objects lie between the header and the offset table, which ends
    // at the trailer.
    if (tableOffset_ <= kMagic.size() || tableOffset_ > trailer || count == 0 ||
        count > (trailer - tableOffset_) / offsetWidth_ || top >= count) {
      throw Malformed{};
    }
    count_ = count;
    return object(top, 0).value;
  }

 private:
  [[nodiscard]] unsigned byte(std::uint64_t at) const {
    return static_cast<unsigned char>(bytes_[at]);
  }

  [[nodiscard]] std::uint64_t bigEndian(std::uint64_t at, std::size_t size) const {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = (value << 8U) | byte(at + i);
    return value;
  }

  // An offset or a reference, of the width the trailer gives. Writers use
  // one to eight bytes, but the form allows any width (plistlib reads them
  // all): a wider one reads as its last eight bytes when the bytes before
  // are zero, and as past every object when they are not.
  [[nodiscard]] std::uint64_t position(std::uint64_t at, std::size_t size) const {
    for (; size > sizeof(std::uint64_t); --size, ++at) {
      if (byte(at) != 0) return std::numeric_limits<std::uint64_t>::max();
    }
    return bigEndian(at, size);
  }

  // `size` bytes at `at`, all within the objects.
  void need(std::uint64_t at, std::uint64_t size) const {
    if (at > tableOffset_ || size > tableOffset_ - at) throw Malformed{};
  }

  [[nodiscard]] std::uint64_t readBigEndian(std::uint64_t at, std::size_t size) const {
    need(at, size);
    return bigEndian(at, size);
  }

  // The count in a marker's low bits, or in the integer object after it;
  // returns where the object's contents begin.
  [[nodiscard]] std::uint64_t count(std::uint64_t at, std::uint64_t& count) const {
    count = byte(at) & 0xFU;
    if (count != kCountFollows) return at + 1;
    need(at + 1, 1);
    const unsigned marker = byte(at + 1);
    if (marker >> 4U != kInteger || (marker & 0xFU) > 3) throw Malformed{};
    const std::size_t width = std::size_t{1} << (marker & 0xFU);
    count = readBigEndian(at + 2, width);
    return at + 2 + width;
  }

  // `count` items of `width` bytes at `at`, all within the objects; checked
  // before anything is allocated for them.
  void needItems(std::uint64_t at, std::uint64_t count, std::uint64_t width) const {
    if (at > tableOffset_ || count > (tableOffset_ - at) / width) throw Malformed{};
  }

  // An object and the number of container levels from it down (0 for
  // anything but an array or a dictionary).
  struct Read {
    Ref<Object> value;
    int height = 0;
  };

  // The object numbered `index`, met at `depth` containers below the top.
  // An object met again, in this place or another, is the one read before;
  // its levels count again from where it is met now, so a shared container
  // never nests past the limit however it is reached.
  Read object(std::uint64_t index, int depth) {
    if (index >= count_) throw Malformed{};
    if (auto it = read_.find(index); it != read_.end()) {
      if (depth + it->second.height > kMaxPropertyListDepth) throw Malformed{};
      return it->second;
    }
    // An object met again while it is being read contains itself.
    if (!reading_.insert(index).second) throw Malformed{};
    const std::uint64_t offset = position(tableOffset_ + index * offsetWidth_, offsetWidth_);
    if (offset < kMagic.size() || offset >= tableOffset_) throw Malformed{};
    Read result = decode(offset, depth);
    reading_.erase(index);
    read_.emplace(index, result);
    return result;
  }

  Read decode(std::uint64_t at, int depth) {
    const unsigned marker = byte(at);
    const unsigned low = marker & 0xFU;
    switch (marker >> 4U) {
      case 0x0:
        if (marker == kFalse || marker == kTrue) return {Number::withBool(marker == kTrue)};
        break;
      case kInteger:
        return {integer(at + 1, low)};
      case kReal:
        if (low == 2) {
          return {Number::withDouble(
              std::bit_cast<float>(static_cast<std::uint32_t>(readBigEndian(at + 1, 4))))};
        }
        if (low == 3) return {Number::withDouble(std::bit_cast<double>(readBigEndian(at + 1, 8)))};
        break;
      case kDate >> 4U:
        if (marker == kDate) {
          return {Date::withTimeIntervalSinceReferenceDate(
              std::bit_cast<double>(readBigEndian(at + 1, 8)))};
        }
        break;
      case kData: {
        std::uint64_t n = 0;
        const std::uint64_t begin = count(at, n);
        needItems(begin, n, 1);
        return {Data::make(bytes_.substr(begin, n))};
      }
      case kAsciiString: {
        std::uint64_t n = 0;
        const std::uint64_t begin = count(at, n);
        needItems(begin, n, 1);
        const std::string_view text = bytes_.substr(begin, n);
        for (const char c : text) {
          if (static_cast<unsigned char>(c) >= 0x80) throw Malformed{};
        }
        return {str(text)};
      }
      case kUtf16String: {
        std::uint64_t n = 0;
        const std::uint64_t begin = count(at, n);
        needItems(begin, n, 2);
        return {str(utf16(begin, n))};
      }
      case kArray: {
        if (depth >= kMaxPropertyListDepth) throw Malformed{};
        std::uint64_t n = 0;
        const std::uint64_t begin = count(at, n);
        needItems(begin, n, refWidth_);
        std::vector<Ref<Object>> items;
        items.reserve(n);
        int below = 0;
        for (std::uint64_t i = 0; i < n; ++i) {
          Read item = object(position(begin + i * refWidth_, refWidth_), depth + 1);
          below = std::max(below, item.height);
          items.push_back(std::move(item.value));
        }
        return {Array::make(std::move(items)), below + 1};
      }
      case kDictionary: {
        if (depth >= kMaxPropertyListDepth) throw Malformed{};
        std::uint64_t n = 0;
        const std::uint64_t begin = count(at, n);
        needItems(begin, n, 2ULL * refWidth_);
        Dictionary::Entries entries;
        int below = 0;
        for (std::uint64_t i = 0; i < n; ++i) {
          const Read key = object(position(begin + i * refWidth_, refWidth_), depth + 1);
          const auto* name = as<String>(key.value.get());
          if (name == nullptr) throw Malformed{};
          Read item = object(position(begin + (n + i) * refWidth_, refWidth_), depth + 1);
          below = std::max(below, item.height);
          // A key written twice keeps its last value.
          entries.insert_or_assign(name->utf8(), std::move(item.value));
        }
        return {Dictionary::make(std::move(entries)), below + 1};
      }
      default:
        break;
    }
    throw Malformed{};
  }

  // Integers of 1, 2 and 4 bytes are unsigned, of 8 signed; of 16, signed
  // 128-bit, within the range of a 64-bit signed or unsigned integer.
  [[nodiscard]] Ref<Number> integer(std::uint64_t at, unsigned sizeLog2) const {
    if (sizeLog2 <= 3) {
      return Number::withInteger(
          static_cast<std::int64_t>(readBigEndian(at, std::size_t{1} << sizeLog2)));
    }
    if (sizeLog2 != 4) throw Malformed{};
    const std::uint64_t high = readBigEndian(at, 8);
    const std::uint64_t low = readBigEndian(at + 8, 8);
    const bool lowIsNegative = low > std::numeric_limits<std::int64_t>::max();
    if (high == 0)
      return lowIsNegative ? Number::withUnsignedInteger(low)
                           : Number::withInteger(static_cast<std::int64_t>(low));
    if (high == ~std::uint64_t{0} && lowIsNegative)
      return Number::withInteger(static_cast<std::int64_t>(low));
    throw Malformed{};
  }

  [[nodiscard]] std::string utf16(std::uint64_t at, std::uint64_t units) const {
    std::string out;
    out.reserve(units);
    for (std::uint64_t i = 0; i < units; ++i) {
      const auto unit = static_cast<char32_t>(bigEndian(at + 2 * i, 2));
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
        const auto next = static_cast<char32_t>(bigEndian(at + 2 * (i + 1), 2));
        if (next >= 0xDC00 && next <= 0xDFFF) {
          appendUTF8(out, 0x10000 + ((unit - 0xD800) << 10U) + (next - 0xDC00));
          ++i;
          continue;
        }
      }
      appendUTF8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacementCharacter : unit);
    }
    return out;
  }

  std::string_view bytes_;
  std::size_t offsetWidth_ = 0;
  std::size_t refWidth_ = 0;
  std::uint64_t tableOffset_ = 0;
  std::uint64_t count_ = 0;
  // What has been read, by object number, so an object referenced many
  // times is read once and shared; kept for the objects reached only.
  std::unordered_map<std::uint64_t, Read> read_;
  std::unordered_set<std::uint64_t> reading_;
};

}  // namespace

bool isBinaryPropertyList(std::string_view bytes) { return bytes.starts_with(kMagic); }

Ref<Object> parseBinaryPropertyList(std::string_view bytes) {
  try {
    return Reader(bytes).read();
  } catch (const Malformed&) {
    return nullptr;
  }
}

std::string binaryPropertyList(const Object* value) { return Writer().write(value); }

}  // namespace tovik
