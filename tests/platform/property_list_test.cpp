#include "platform/property_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "platform/binary_property_list.h"
#include "platform/xml_property_list.h"
#include "tests/platform/plistlib.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr double kInf = std::numeric_limits<double>::infinity();

// A value of every kind, as Python writes it, with the edges of each: NUL in
// keys and strings, ASCII and UTF-16 strings, both booleans, integers at
// each width's edges and the ends of both ranges, -0.0, counts past 15
// (which take an extra integer in the binary form).
constexpr const char* kEveryKindInPython = R"({
  'ascii': 'plain text <&> longer than fifteen characters',
  'caf\u00e9 \U0001F600': 'caf\u00e9 and an emoji \U0001F600',
  'a\x00b': 'x\x00y', 'true': True, 'false': False,
  'widths': [255, 256, 65535, 65536, 2**32 - 1, 2**32, 2**63 - 1, -1],
  'int64 min': -2**63, 'uint64 max': 2**64 - 1,
  'real': 0.1, 'negative zero': -0.0, 'infinity': float('-inf'),
  'data': bytes(range(256)),
  'date': datetime.datetime(2025, 1, 1, 0, 0, 0, 250000),
  'array': ['a', [], {}],
  'nested': {'inner': {'k\x00': b'\x00\x01'}},
})";

// The same, but what XML cannot carry (NUL, and fractions of a second).
const std::string kXmlCarriableInPython = "{k: v for k, v in "s + kEveryKindInPython +
                                          ".items() if k not in ('a\\x00b', 'nested', 'date')}";

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
  // Whether `value`, written, is what plistlib reads as `python`.
  ::testing::AssertionResult is(const Ref<Object>& value, const std::string& python) const {
    if (value == nullptr) return ::testing::AssertionFailure() << "no property list";
    return plistlib::reads(writeFile("value.plist", binaryPropertyList(value.get())), python);
  }

  fs::path folder;
};

TEST_F(PropertyListTest, PlistlibReadsWhatIsWrittenAndWritesWhatIsRead) {
  // What plistlib writes, read and written again, reads in plistlib as it was.
  const fs::path theirs = folder / "theirs.plist";
  plistlib::write(theirs, kEveryKindInPython);
  EXPECT_TRUE(is(parseBinaryPropertyList(readFile(theirs)), kEveryKindInPython));

  // The XML form, as earlier versions wrote it, both ways, for all it can carry.
  plistlib::write(theirs, kXmlCarriableInPython, "FMT_XML");
  const Ref<Object> read = parseXmlPropertyList(readFile(theirs));
  ASSERT_NE(read, nullptr);
  const fs::path view = writeFile("view.plist", xmlPropertyList(read.get()));
  EXPECT_TRUE(plistlib::reads(view, kXmlCarriableInPython));

  // 300 objects take two-byte references.
  std::vector<Ref<Object>> many;
  many.reserve(300);
  for (int i = 0; i < 300; ++i) many.push_back(Number::withInteger(i));
  EXPECT_TRUE(is(Array::make(std::move(many)), "list(range(300))"));
}

// Big-endian bytes, zeros first when wider than eight.
std::string be(std::uint64_t value, std::size_t width) {
  std::string out;
  for (std::size_t i = width; i-- > 0;)
    out.push_back(i < 8 ? static_cast<char>(value >> (8 * i)) : '\0');
  return out;
}

// A binary property list of `objects`, the first at the top, with offsets
// of eight bytes and references of `refWidth`.
std::string assemble(const std::vector<std::string>& objects, std::size_t refWidth = 1,
                     std::size_t offsetWidth = 8) {
  std::string out = "bplist00";
  std::string table;
  for (const std::string& object : objects) {
    table += be(out.size(), offsetWidth);
    out += object;
  }
  const std::uint64_t tableOffset = out.size();
  out +=
      table + std::string(6, '\0') + static_cast<char>(offsetWidth) + static_cast<char>(refWidth);
  return out + be(objects.size(), 8) + be(0, 8) + be(tableOffset, 8);
}

TEST_F(PropertyListTest, HostileBinaryFilesReadAsNoPropertyListWithoutCrashOrBlowUp) {
  for (const std::vector<std::string>& objects : std::vector<std::vector<std::string>>{
           {"\xA1\x00"s},                                   // an array holding itself
           {"\xD1\x01\x00"s, "\x51k"s},                     // a loop through a dictionary
           {"\xAF\x13"s + be(std::uint64_t{1} << 62U, 8)},  // a count past the end
           {"\xA1\x07"s},                                   // a reference outside the objects
           {"\xD1\x01\x01"s, "\x10\x05"s},                  // a key that is not a string
           {"\x14"s + be(1, 8) + be(0, 8)},                 // an integer past 64 bits
           {"\x51\xE9"s},                                   // not ASCII in an ASCII string
           {"\xA2\x01\x02"s, "\x10\x01"s,
            "\x42"
            "a"s},                      // data running into the table
           {"\xA1\x01"s, "\x11\x01"s},  // an integer running into it
       }) {
    EXPECT_EQ(parseBinaryPropertyList(assemble(objects)), nullptr)
        << ::testing::PrintToString(objects);
  }
  // An object whose offset is the offset table's own (whose first byte,
  // the offset 8, would read as false).
  std::string atTable = assemble({"\xA1\x01"s, "\x10\x05"s}, 1, 1);
  const std::size_t table = atTable.size() - 32 - 2;
  atTable[table + 1] = static_cast<char>(table);
  EXPECT_EQ(parseBinaryPropertyList(atTable), nullptr);
  // References wider than eight bytes read when the bytes past eight are
  // zero (plistlib reads them), and point past every object else.
  const Ref<Object> wide =
      parseBinaryPropertyList(assemble({"\xA2"s + be(1, 9) + be(2, 9), "\x10\x01"s,
                                        "\x51"
                                        "x"s},
                                       9));
  EXPECT_TRUE(is(wide, "[1, 'x']"));
  EXPECT_EQ(parseBinaryPropertyList(assemble({"\xA1\x01"s + be(1, 8), "\x10\x01"s}, 9)), nullptr);
  // A UTF-16 surrogate without its pair reads as U+FFFD.
  EXPECT_EQ(as<String>(parseBinaryPropertyList(assemble({"\x62\xD8\x00\x00\x41"s})).get())->utf8(),
            "\xEF\xBF\xBD"
            "A");

  // Nesting: as deep as the limit reads, deeper does not, however deep.
  const auto nested = [](std::size_t levels) {
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < levels; ++i) objects.push_back("\xA1" + be(i + 1, 4));
    objects.emplace_back("\x10\x2A");
    return assemble(objects, 4);
  };
  EXPECT_NE(parseBinaryPropertyList(nested(kMaxPropertyListDepth)), nullptr);
  EXPECT_EQ(parseBinaryPropertyList(nested(kMaxPropertyListDepth + 1)), nullptr);
  EXPECT_EQ(parseBinaryPropertyList(nested(200000)), nullptr);
  // A chain of arrays held at the top, and again at the end of another
  // chain: its levels count on both paths, however it was met first.
  const auto sharedChain = [](std::uint32_t levels) {
    std::vector<std::string> objects{"\xA2" + be(1, 4) + be(levels + 1, 4)};
    for (std::uint32_t i = 1; i <= levels; ++i) objects.push_back("\xA1" + be(i + 1, 4));
    for (std::uint32_t i = levels + 1; i <= 2 * levels; ++i) {
      objects.push_back("\xA1" + be(i == 2 * levels ? 1 : i + 1, 4));
    }
    objects[levels] = "\xA1" + be(2 * levels + 1, 4);  // the first chain's last: the leaf
    objects.emplace_back("\x10\x2A");
    return assemble(objects, 4);
  };
  const Ref<Object> withinLimit = parseBinaryPropertyList(sharedChain(255));  // 511 levels
  ASSERT_NE(withinLimit, nullptr);
  EXPECT_NE(parseBinaryPropertyList(binaryPropertyList(withinLimit.get())), nullptr);
  EXPECT_EQ(parseBinaryPropertyList(sharedChain(256)), nullptr);  // 513 levels

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
}

TEST_F(PropertyListTest, DamagedAndHostileXmlReadsAsNoPropertyList) {
  for (const char* bad : {
           "<plist><dict><key>a</key></dict></plist>",             // a key without a value
           "<plist><dict>text<key>a</key><true/></dict></plist>",  // text between elements
           "<plist><string>&#xD800;</string></plist>",             // a surrogate
           "<plist><integer>18446744073709551616</integer></plist>",
           "<plist><string>x</string><string>y</string></plist>",
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
}

TEST_F(PropertyListTest, XmlInTheEncodingsOtherReadersTakeReadsAsPlistlibReadsIt) {
  // plistlib's XML of {'caf\u00e9': TEXT, 'n': 1}, declared and encoded in
  // each: with a byte-order mark (UTF-8, UTF-16 and UTF-32 in both byte
  // orders), by UTF-16's first characters, and by the declaration alone.
  const std::vector<std::string> texts = {"'\\u20ac \\U0001F600'", "'na\\u00efve'", "'\\u20ac'"};
  const plistlib::Run made =
      plistlib::python("texts = [" + texts[0] + ", " + texts[1] + ", " + texts[2] + "]" + R"(
cases = [('utf-16-le', b'\xff\xfe', 'UTF-16', 0), ('utf-16-be', b'\xfe\xff', 'UTF-16', 0),
         ('utf-32-le', b'\xff\xfe\0\0', 'UTF-32', 0), ('utf-32-be', b'\0\0\xfe\xff', 'UTF-32', 0),
         ('utf-8', b'\xef\xbb\xbf', 'UTF-8', 0), ('utf-16-le', b'', 'UTF-16', 0),
         ('latin-1', b'', 'ISO-8859-1', 1), ('cp1252', b'', 'windows-1252', 2)]
for i, (codec, mark, declared, text) in enumerate(cases):
    xml = plistlib.dumps({'caf\u00e9': texts[text], 'n': 1}).decode()
    xml = xml.replace('"UTF-8"', '"' + declared + '"')
    open(os.path.join(sys.argv[1], str(i)), 'wb').write(mark + xml.encode(codec))
    print(text))",
                       {folder.string()});
  ASSERT_EQ(made.status, 0) << made.out;
  std::istringstream textOfCase(made.out);
  int i = 0;
  for (std::size_t text = 0; textOfCase >> text; ++i) {
    EXPECT_TRUE(is(parseXmlPropertyList(readFile(folder / std::to_string(i))),
                   "{'caf\\u00e9': " + texts.at(text) + ", 'n': 1}"))
        << "case " << i;
  }
  EXPECT_EQ(i, 8);
  // Attributes are passed over, whatever script their names are in.
  EXPECT_TRUE(is(parseXmlPropertyList("<plist versi\xC3\xB3n=\"1.0\"><dict/></plist>"), "{}"));

  // An encoding iconv does not know, or text not valid in its encoding, is
  // refused, saying so.
  std::string why;
  const std::string unknown =
      "<?xml version=\"1.0\" encoding=\"X-NO-SUCH\"?><plist><true/></plist>";
  EXPECT_EQ(parseXmlPropertyList(unknown, &why), nullptr);
  EXPECT_NE(why.find("\"X-NO-SUCH\", which this system's iconv does not know"), std::string::npos)
      << why;
  EXPECT_EQ(parseXmlPropertyList("\xFF\xFE<\0p\0\x00\xD8>\0"s, &why), nullptr);  // a lone surrogate
  EXPECT_NE(why.find("not valid UTF-16LE"), std::string::npos) << why;
}

TEST_F(PropertyListTest, DatesXmlCannotCarryArePrintedAsTheNearestItCan) {
  constexpr double kYearOne = -63113904000;     // 0001-01-01T00:00:00Z
  constexpr double kLastSecond = 252423993599;  // 9999-12-31T23:59:59Z
  std::vector<Ref<Object>> dates;
  for (const double at : {kYearOne, kYearOne - 0.5, -kInf, kLastSecond + 0.75, 1e300, kInf,
                          std::numeric_limits<double>::quiet_NaN(), 757382400.25}) {
    dates.push_back(Date::withTimeIntervalSinceReferenceDate(at));
  }
  const std::string printed = xmlPropertyList(Array::make(std::move(dates)).get());
  const fs::path file = writeFile("dates.plist", printed);
  EXPECT_TRUE(plistlib::reads(file, R"(([datetime.datetime(1, 1, 1)] * 3 +
      [datetime.datetime(9999, 12, 31, 23, 59, 59)] * 3 +
      [datetime.datetime(2001, 1, 1), datetime.datetime(2025, 1, 1)]))"))
      << printed;
  EXPECT_NE(parseXmlPropertyList(printed), nullptr);
}

}  // namespace
}  // namespace tovik
