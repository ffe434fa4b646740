#include "platform/property_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "platform/binary_property_list.h"
#include "platform/xml_property_list.h"
#include "tests/platform/plistlib.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Equal as property lists: numbers of the same kind, reals of the same sign
// (-0.0 is not 0.0), keys and strings byte for byte.
::testing::AssertionResult same(Object* a, Object* b, const std::string& where = "top") {
  const auto differ = [&](const std::string& what) {
    return ::testing::AssertionFailure() << where << ": " << what;
  };
  if (a == nullptr || b == nullptr) return a == b ? ::testing::AssertionSuccess() : differ("nil");
  if (a->isa() != b->isa()) return differ(a->isa()->name() + " vs " + b->isa()->name());
  if (const auto* x = as<Number>(a)) {
    const auto* y = as<Number>(b);
    if (x->kind() != y->kind()) return differ("number kinds");
    if (x->kind() == Number::Kind::Real) {
      const double u = x->doubleValue();
      const double v = y->doubleValue();
      if (std::isnan(u) && std::isnan(v)) return ::testing::AssertionSuccess();
      if (u != v || std::signbit(u) != std::signbit(v))
        return differ(std::to_string(u) + " vs " + std::to_string(v));
      return ::testing::AssertionSuccess();
    }
    if (x->unsignedIntegerValue() != y->unsignedIntegerValue()) return differ("integers");
    return ::testing::AssertionSuccess();
  }
  if (const auto* x = as<Array>(a)) {
    const auto* y = as<Array>(b);
    if (x->count() != y->count()) return differ("array lengths");
    for (std::size_t i = 0; i < x->count(); ++i) {
      if (auto r =
              same(x->objectAtIndex(i), y->objectAtIndex(i), where + "[" + std::to_string(i) + "]");
          !r)
        return r;
    }
    return ::testing::AssertionSuccess();
  }
  if (const auto* x = as<Dictionary>(a)) {
    const auto* y = as<Dictionary>(b);
    if (x->count() != y->count()) return differ("dictionary sizes");
    for (const auto& [key, value] : x->entries()) {
      if (auto r =
              same(value.get(), y->objectForKey(key), std::string(where).append(".").append(key));
          !r)
        return r;
    }
    return ::testing::AssertionSuccess();
  }
  if (const auto* x = as<Date>(a)) {
    // Bit for bit: a date keeps its fractions of a second.
    if (x->timeIntervalSinceReferenceDate() != as<Date>(b)->timeIntervalSinceReferenceDate())
      return differ("dates");
    return ::testing::AssertionSuccess();
  }
  return a->isEqual(b) ? ::testing::AssertionSuccess() : differ("values");
}

std::string allBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes;
}

// A value of every kind, with the edges of each: NUL in keys and strings,
// ASCII and UTF-16 strings, the ends of both integer ranges, -0.0, counts
// past 15 (which take an extra integer in the binary form).
Ref<Dictionary> everyKind() {
  return Dictionary::make({
      {"ascii", str("plain text longer than fifteen characters")},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", str("caf\xC3\xA9 and an emoji \xF0\x9F\x98\x80")},
      {"a\0b"s, str("x\0y"s)},
      {"\xC3\xA9\0"s, str("\xC3\xA9\0"s)},
      {"true", Number::withBool(true)},
      {"false", Number::withBool(false)},
      {"small", Number::withInteger(7)},
      {"int16", Number::withInteger(40000)},
      {"int32", Number::withInteger(3000000000)},
      {"int64 max", Number::withInteger(std::numeric_limits<std::int64_t>::max())},
      {"int64 min", Number::withInteger(std::numeric_limits<std::int64_t>::min())},
      {"minus one", Number::withInteger(-1)},
      {"uint64 max", Number::withUnsignedInteger(std::numeric_limits<std::uint64_t>::max())},
      {"2^63", Number::withUnsignedInteger(std::uint64_t{1} << 63U)},
      {"real", Number::withDouble(0.1)},
      {"negative zero", Number::withDouble(-0.0)},
      {"whole real", Number::withDouble(560)},
      {"infinity", Number::withDouble(-kInf)},
      {"data", Data::make(allBytes())},
      {"empty data", Data::make("")},
      {"date", Date::withTimeIntervalSinceReferenceDate(757382400.25)},  // 2025-01-01T00:00:00.25Z
      {"1970", Date::withTimeIntervalSinceReferenceDate(-978307200)},
      {"array",
       Array::make({str("a"), Number::withInteger(1), Array::make({}), Dictionary::make({})})},
      {"nested",
       Dictionary::make({{"inner", Dictionary::make({{"k\0"s, Data::make("\0\1"s)}})},
                         {"list", Array::make({Date::withTimeIntervalSinceReferenceDate(0),
                                               Number::withUnsignedInteger(UINT64_MAX)})}})},
  });
}

// everyKind() as Python writes it.
constexpr const char* kEveryKindInPython = R"({
  'ascii': 'plain text longer than fifteen characters',
  'caf\u00e9 \U0001F600': 'caf\u00e9 and an emoji \U0001F600',
  'a\x00b': 'x\x00y',
  '\u00e9\x00': '\u00e9\x00',
  'true': True, 'false': False,
  'small': 7, 'int16': 40000, 'int32': 3000000000,
  'int64 max': 2**63 - 1, 'int64 min': -2**63, 'minus one': -1,
  'uint64 max': 2**64 - 1, '2^63': 2**63,
  'real': 0.1, 'negative zero': -0.0, 'whole real': 560.0, 'infinity': float('-inf'),
  'data': bytes(range(256)), 'empty data': b'',
  'date': datetime.datetime(2025, 1, 1, 0, 0, 0, 250000),
  '1970': datetime.datetime(1970, 1, 1),
  'array': ['a', 1, [], {}],
  'nested': {'inner': {'k\x00': b'\x00\x01'},
             'list': [datetime.datetime(2001, 1, 1), 2**64 - 1]},
})";

class PropertyListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tovik-plist-XXXXXX").string();
    folder = mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(folder); }

  static std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary) << bytes;
    return folder / name;
  }

  fs::path folder;
};

TEST_F(PropertyListTest, EveryKindSurvivesTheBinaryFormExactly) {
  const Ref<Dictionary> value = everyKind();
  const std::string bytes = binaryPropertyList(value.get());
  EXPECT_TRUE(bytes.starts_with("bplist00"));
  EXPECT_TRUE(same(value.get(), parseBinaryPropertyList(bytes).get()));

  // Dates keep every bit, and 300 objects take two-byte references.
  std::vector<Ref<Object>> many;
  many.reserve(301);
  for (int i = 0; i < 300; ++i) many.push_back(Number::withInteger(i));
  many.push_back(Date::withTimeIntervalSinceReferenceDate(0.123456789));
  const Ref<Array> large = Array::make(std::move(many));
  EXPECT_TRUE(same(large.get(), parseBinaryPropertyList(binaryPropertyList(large.get())).get()));

  // Equal keys and numbers are written once, however many dictionaries hold
  // them: each record takes little more than its marker and four references.
  std::vector<Ref<Object>> records;
  records.reserve(100);
  for (int i = 0; i < 100; ++i) {
    records.push_back(
        Dictionary::make({{"width", Number::withDouble(1)}, {"height", Number::withDouble(2)}}));
  }
  EXPECT_LT(binaryPropertyList(Array::make(records).get()).size(), 100U * 10);
}

// everyKind() but what XML cannot carry: NUL, and fractions of a second.
Ref<Dictionary> xmlCarriable() {
  Dictionary::Entries entries = everyKind()->entries();
  for (const std::string& key : {"a\0b"s, "\xC3\xA9\0"s, "nested"s, "date"s}) entries.erase(key);
  return Dictionary::make(std::move(entries));
}

std::string xmlCarriableInPython() {
  return "{k: v for k, v in "s + kEveryKindInPython +
         ".items() if k not in ('a\\x00b', '\\u00e9\\x00', 'nested', 'date')}";
}

TEST_F(PropertyListTest, PlistlibReadsWhatIsWrittenAndWritesWhatIsRead) {
  const fs::path ours = writeFile("ours.plist", binaryPropertyList(everyKind().get()));
  EXPECT_TRUE(plistlib::reads(ours, kEveryKindInPython));

  const fs::path theirs = folder / "theirs.plist";
  plistlib::write(theirs, kEveryKindInPython);
  EXPECT_TRUE(same(everyKind().get(), parseBinaryPropertyList(readFile(theirs)).get()));

  // The XML form, both ways, for all XML can carry.
  plistlib::write(theirs, xmlCarriableInPython(), "FMT_XML");
  EXPECT_TRUE(same(xmlCarriable().get(), parseXmlPropertyList(readFile(theirs)).get()));
  const fs::path view = writeFile("view.plist", xmlPropertyList(xmlCarriable().get()));
  EXPECT_TRUE(plistlib::reads(view, xmlCarriableInPython()));
}

TEST_F(PropertyListTest, PlistutilReadsWhatIsWritten) {
  if (std::system("command -v plistutil >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "plistutil (Debian's libplist-utils) is not installed";
  }
  Dictionary::Entries entries = xmlCarriable()->entries();
  entries.erase("negative zero");  // plistutil shows -0.0 as 0.0
  const fs::path ours =
      writeFile("ours.plist", binaryPropertyList(Dictionary::make(entries).get()));
  const fs::path converted = folder / "converted.plist";
  ASSERT_EQ(
      std::system(("plistutil -i '" + ours.string() + "' -o '" + converted.string() + "'").c_str()),
      0);
  EXPECT_TRUE(plistlib::reads(converted, "{k: v for k, v in " + xmlCarriableInPython() +
                                             ".items() if k != 'negative zero'}"));
}

// Big-endian bytes.
std::string be(std::uint64_t value, std::size_t width) {
  std::string out;
  for (std::size_t i = width; i-- > 0;) out.push_back(static_cast<char>(value >> (8 * i)));
  return out;
}

// A binary property list of `objects`, the first at the top, with offsets
// of eight bytes and references of `refWidth`; `count` is what the trailer
// claims (by default, how many there are).
std::string assemble(const std::vector<std::string>& objects, std::size_t refWidth = 1,
                     std::uint64_t count = 0) {
  std::string out = "bplist00";
  std::string table;
  for (const std::string& object : objects) {
    table += be(out.size(), 8);
    out += object;
  }
  const std::uint64_t tableOffset = out.size();
  out += table;
  out += std::string(6, '\0') + '\x08' + static_cast<char>(refWidth);
  out += be(count != 0 ? count : objects.size(), 8) + be(0, 8) + be(tableOffset, 8);
  return out;
}

// `levels` arrays, each holding the next (a byte reference each), around an
// integer.
std::string nested(std::size_t levels) {
  std::vector<std::string> objects;
  for (std::size_t i = 0; i < levels; ++i) objects.push_back("\xA1" + be(i + 1, 4));
  objects.emplace_back("\x10\x2A");
  return assemble(objects, 4);
}

TEST_F(PropertyListTest, HostileBinaryFilesReadAsNoPropertyListWithoutCrashOrBlowUp) {
  const auto rejects = [](const std::string& bytes) {
    return parseBinaryPropertyList(bytes) == nullptr;
  };
  // References that loop, directly or through a dictionary.
  EXPECT_TRUE(rejects(assemble({"\xA1\x00"s})));
  EXPECT_TRUE(rejects(assemble({"\xA1\x01"s, "\xA1\x00"s})));
  EXPECT_TRUE(rejects(assemble({"\xD1\x01\x00"s, "\x51k"s})));
  // Counts past the end, however large: nothing is allocated for them.
  EXPECT_TRUE(rejects(assemble({"\xAF\x13"s + be(std::uint64_t{1} << 62U, 8)})));
  EXPECT_TRUE(rejects(assemble({"\xDF\x13"s + be(~std::uint64_t{0}, 8)})));
  EXPECT_TRUE(rejects(assemble({"\x4F\x13"s + be(~std::uint64_t{0}, 8)})));
  EXPECT_TRUE(rejects(assemble({"\x6F\x12"s + be(0x7FFFFFFF, 4) + "\0a"s})));
  EXPECT_TRUE(rejects(assemble({"\x10\x01"s}, 1, std::uint64_t{1} << 60U)));
  EXPECT_TRUE(
      rejects(assemble({"\x53"
                        "ab"s})));
  // References and offsets outside the objects.
  EXPECT_TRUE(rejects(assemble({"\xA1\x07"s})));
  std::string intoTrailer = assemble({"\x10\x01"s});
  intoTrailer.replace(intoTrailer.size() - 32 - 8, 8, be(intoTrailer.size() - 4, 8));
  EXPECT_TRUE(rejects(intoTrailer));
  // Kinds that are not property-list values, keys that are not strings,
  // integers past 64 bits, text that is not ASCII in an ASCII string.
  for (const std::string& object :
       {"\x00"s, "\x0F"s, "\x80\x01"s, "\xC0"s, "\x14"s + be(1, 8) + be(0, 8), "\x51\xE9"s}) {
    EXPECT_TRUE(rejects(assemble({object}))) << ::testing::PrintToString(object);
  }
  EXPECT_TRUE(rejects(assemble({"\xD1\x01\x01"s, "\x10\x05"s})));
  EXPECT_EQ(as<Number>(parseBinaryPropertyList(assemble({"\x14"s + be(~std::uint64_t{0}, 8) +
                                                         be(static_cast<std::uint64_t>(-5), 8)}))
                           .get())
                ->integerValue(),
            -5);
  // A UTF-16 surrogate without its pair reads as U+FFFD.
  EXPECT_EQ(as<String>(parseBinaryPropertyList(assemble({"\x62\xD8\x00\x00\x41"s})).get())->utf8(),
            "\xEF\xBF\xBD"
            "A");

  // Nesting: as deep as the limit reads, deeper does not, however deep.
  EXPECT_NE(parseBinaryPropertyList(nested(kMaxPropertyListDepth)), nullptr);
  EXPECT_TRUE(rejects(nested(kMaxPropertyListDepth + 1)));
  EXPECT_TRUE(rejects(nested(200000)));

  // Each of 100 arrays holds the next twice: 2^100 paths, 101 objects. It
  // reads, checks and writes back in proportion to the objects.
  std::vector<std::string> doubling;
  for (std::uint64_t i = 0; i < 100; ++i) doubling.push_back("\xA2" + be(i + 1, 1) + be(i + 1, 1));
  doubling.emplace_back("\x10\x01");
  const Ref<Object> shared = parseBinaryPropertyList(assemble(doubling));
  ASSERT_NE(shared, nullptr);
  EXPECT_TRUE(isPropertyListObject(shared.get()));
  EXPECT_EQ(withValidText(shared), shared);
  EXPECT_LT(binaryPropertyList(shared.get()).size(), 1000U);

  // A good file cut short anywhere, or with bytes changed anywhere, never
  // crashes the reader (the sanitizer builds check every read).
  const std::string good = binaryPropertyList(everyKind().get());
  for (std::size_t n = 0; n < good.size(); ++n) EXPECT_TRUE(rejects(good.substr(0, n))) << n;
  std::mt19937 random(20250101);
  std::size_t rejected = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string bytes = good;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
      bytes[random() % bytes.size()] = static_cast<char>(random());
    }
    if (round % 3 == 0) bytes.resize(random() % bytes.size());
    rejected += rejects(bytes) ? 1 : 0;
  }
  EXPECT_GT(rejected, 0U);
}

TEST_F(PropertyListTest, XmlFilesOfEarlierVersionsAndOtherToolsRead) {
  // As earlier versions of this store wrote them.
  const Ref<Object> earlier = parseXmlPropertyList(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n"
      "\t<key>NSWindow Frame compose</key>\n\t<dict>\n"
      "\t\t<key>height</key>\n\t\t<real>520</real>\n"
      "\t\t<key>width</key>\n\t\t<real>560.5</real>\n\t</dict>\n"
      "\t<key>count</key>\n\t<integer>-42</integer>\n"
      "\t<key>flag</key>\n\t<true/>\n"
      "\t<key>list</key>\n\t<array>\n\t\t<string>caf\xC3\xA9 &lt;&amp;&gt;</string>\n\t</array>\n"
      "</dict>\n</plist>\n");
  EXPECT_TRUE(same(earlier.get(),
                   Dictionary::make({{"NSWindow Frame compose",
                                      Dictionary::make({{"height", Number::withDouble(520)},
                                                        {"width", Number::withDouble(560.5)}})},
                                     {"count", Number::withInteger(-42)},
                                     {"flag", Number::withBool(true)},
                                     {"list", Array::make({str("caf\xC3\xA9 <&>")})}})
                       .get()));

  // What other tools and people write: a byte-order mark, comments, CDATA,
  // character references, CRLF line ends, hexadecimal integers, dates
  // without a time, data across lines, elements with contents or empty.
  const Ref<Object> handWritten = parseXmlPropertyList(
      "\xEF\xBB\xBF<?xml version='1.0'?>\r\n<!-- made by hand -->\r\n"
      "<!DOCTYPE plist [ <!ENTITY unused \"]>\"> ]>\r\n"
      "<plist version='1.0'><dict>\r\n"
      "<key>text</key><string>a<![CDATA[<b>&]]>&#233;&#x1F600;<!-- no -->\r\nz</string>\r\n"
      "<key>hex</key><integer> 0x10 </integer>"
      "<key>big</key><integer>18446744073709551615</integer>"
      "<key>min</key><integer>-9223372036854775808</integer>"
      "<key>day</key><date>2001-01-02Z</date>"
      "<key>bytes</key><data>\r\n\tAAEC\r\n\tAw==\r\n</data>"
      "<key>no</key><false></false><key>empty</key><string/><key>nothing</key><array/>"
      "<key/><real>+inf</real>"
      "</dict></plist>");
  EXPECT_TRUE(
      same(handWritten.get(),
           Dictionary::make({{"text", str("a<b>&\xC3\xA9\xF0\x9F\x98\x80\nz")},
                             {"hex", Number::withInteger(16)},
                             {"big", Number::withUnsignedInteger(UINT64_MAX)},
                             {"min", Number::withInteger(std::numeric_limits<std::int64_t>::min())},
                             {"day", Date::withTimeIntervalSinceReferenceDate(86400)},
                             {"bytes", Data::make("\0\1\2\3"s)},
                             {"no", Number::withBool(false)},
                             {"empty", str("")},
                             {"nothing", Array::make({})},
                             {"", Number::withDouble(kInf)}})
               .get()));
  // A bare value is a property list too.
  EXPECT_TRUE(same(parseXmlPropertyList("<string>x</string>").get(), str("x").get()));
}

TEST_F(PropertyListTest, DamagedAndHostileXmlReadsAsNoPropertyList) {
  for (const char* bad : {
           "<plist><dict><key>a</key></dict></plist>",             // a key without a value
           "<plist><dict>text<key>a</key><true/></dict></plist>",  // text between elements
           "<plist><array><string>x</array></plist>",              // mismatched end
           "<plist><set/></plist>",                                // no such kind
           "<plist><string>&bogus;</string></plist>",
           "<plist><string>&#xD800;</string></plist>",  // a surrogate
           "<plist><string>&#x110000;</string></plist>",
           "<plist><integer>12a</integer></plist>",
           "<plist><integer>18446744073709551616</integer></plist>",
           "<plist><integer>-9223372036854775809</integer></plist>",
           "<plist><real>one</real></plist>",
           "<plist><date>2025-13-01T00:00:00Z</date></plist>",
           "<plist><date>2025-01-01T00:00:00</date></plist>",
           "<plist><data>AA*=</data></plist>",
           "<plist><true>yes</true></plist>",
           "<plist><!-- never closed <true/></plist>",
           "<plist><string>x</string><string>y</string></plist>",
           "<plist></plist>",
           "",
       }) {
    EXPECT_EQ(parseXmlPropertyList(bad), nullptr) << bad;
  }

  // Nesting: as deep as the limit reads, deeper does not, however deep.
  const auto arrays = [](int levels) {
    std::string xml;
    for (int i = 0; i < levels; ++i) xml += "<array>";
    xml += "<true/>";
    for (int i = 0; i < levels; ++i) xml += "</array>";
    return xml;
  };
  EXPECT_NE(parseXmlPropertyList(arrays(kMaxPropertyListDepth)), nullptr);
  EXPECT_EQ(parseXmlPropertyList(arrays(kMaxPropertyListDepth + 1)), nullptr);
  EXPECT_EQ(parseXmlPropertyList(arrays(200000)), nullptr);

  // Cut short anywhere before its end, the view of every kind is no
  // property list; with bytes changed anywhere it never crashes the reader.
  const std::string good = xmlPropertyList(everyKind().get());
  const std::size_t end = good.rfind("</plist>") + 8;
  for (std::size_t n = 0; n < good.size(); ++n) {
    EXPECT_EQ(parseXmlPropertyList(good.substr(0, n)) == nullptr, n < end) << n;
  }
  std::mt19937 random(20010101);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes = good;
    for (int i = 0; i < 3; ++i) bytes[random() % bytes.size()] = "<>&;/![]\"'x0 "[random() % 13];
    (void)parseXmlPropertyList(bytes);
  }
}

}  // namespace
}  // namespace tovik
