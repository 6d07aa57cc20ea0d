#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/stream.h"
#include "transport/custom_field.h"
#include "transport/errors.h"
#include "transport/field_types.h"
#include "transport/field_values.h"
#include "transport/variant.h"

namespace ryn {
namespace {

TEST(FieldTypesTest, CompatibilityTable) {
  // Written out from the table, independent of the implementation's ranges.
  const std::set<int> numeric = {1, 2, 3, 4, 5, 6, 7, 17, 18, 19, 65, 66};
  const std::map<int, std::set<int>> accepted = {
      {1, numeric}, {2, numeric}, {3, numeric}, {4, numeric}, {5, numeric}, {6, numeric}, {7, numeric},
      {8, {1, 2, 3, 4, 5, 6, 7, 8, 65, 66}},
      {17, numeric}, {18, numeric}, {19, numeric},
      {33, {33, 65, 66}},
      {49, {49, 51, 65, 66}},
      {50, {50, 51, 65, 66}},
      {51, {49, 50, 51, 65, 66}},
  };
  for (int target = -1; target <= 70; ++target) {
    for (int source = -1; source <= 70; ++source) {
      bool expected;
      if (target == 65 || target == 66 || target == 67) {
        expected = true;
      } else {
        auto it = accepted.find(target);
        expected = it != accepted.end() && it->second.count(source) > 0;
      }
      ASSERT_EQ(IsTypeCompatible(source, target), expected) << source << " -> " << target;
    }
  }
  EXPECT_TRUE(IsValidFieldType(19));
  EXPECT_FALSE(IsValidFieldType(20));
  EXPECT_FALSE(IsValidFieldType(68));
}

// A destination field of a chosen type code that logs every setter call.
class LoggingField : public TCustomFiledWriter {
 public:
  explicit LoggingField(int32_t type) : TCustomFiledWriter(nullptr), type_(type) {}
  int32_t GetDataType() override { return type_; }
  void SetAsBoolean(bool v) override { Log("Boolean", v ? "true" : "false"); }
  void SetAsByte(uint8_t v) override { Log("Byte", std::to_string(v)); }
  void SetAsWord(uint16_t v) override { Log("Word", std::to_string(v)); }
  void SetAsLongWord(uint32_t v) override { Log("LongWord", std::to_string(v)); }
  void SetAsShortInt(int8_t v) override { Log("ShortInt", std::to_string(v)); }
  void SetAsSmallInt(int16_t v) override { Log("SmallInt", std::to_string(v)); }
  void SetAsInteger(int32_t v) override { Log("Integer", std::to_string(v)); }
  void SetAsInt64(int64_t v) override { Log("Int64", std::to_string(v)); }
  void SetAsSingle(float v) override { Log("Single", std::to_string(v)); }
  void SetAsDouble(double v) override { Log("Double", std::to_string(v)); }
  void SetAsExtended(long double v) override { Log("Extended", std::to_string(static_cast<double>(v))); }
  void SetAsGuid(const TGUID& v) override { Log("Guid", GuidToString(v)); }
  void SetAsDateTime(TDateTime v) override { Log("DateTime", std::to_string(v)); }
  void SetAsString(std::string_view v) override { Log("String", std::string(v)); }
  void SetAsWideString(std::u16string_view v) override { Log("WideString", ToUtf8(ToNarrow(v))); }
  void LoadFromStream(TStream& s) override {
    std::string bytes(static_cast<size_t>(s.Size() - s.Position()), '\0');
    s.Read(bytes.data(), bytes.size());
    std::string hex;
    for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    Log("Stream", hex);
  }
  std::string log;

 private:
  void Log(const char* setter, const std::string& v) { log += std::string(setter) + ":" + v + ";"; }
  int32_t type_;
};

std::string Assign(int32_t type, const TVariant& v) {
  LoggingField f(type);
  AssignVariant(&f, v);
  return f.log;
}

TEST(AssignVariantTest, ConvertsForTheFieldsOwnType) {
  struct Case {
    int32_t type;
    TVariant value;
    std::string expected;
  } cases[] = {
      // numbers from text
      {6, "1,234", "Integer:1234;"},
      {6, "abc", ""},
      {6, "", ""},
      {6, " 42 ", "Integer:42;"},
      {6, "2.5", "Integer:2;"},  // ties go to the even neighbour
      {6, "3.5", "Integer:4;"},
      {6, "-2.5", "Integer:-2;"},
      {6, "1e3", "Integer:1000;"},
      {6, 1.5, "Integer:2;"},
      {6, "99999999999", ""},  // out of range: not written
      {1, 300, "Byte:44;"},    // narrower setters keep the low bits
      {2, -1, "Word:65535;"},
      {4, 200, "ShortInt:-56;"},
      {5, 70000, "SmallInt:4464;"},
      {3, "4294967297", "LongWord:1;"},
      {7, "9,007,199,254,740,993", "Int64:9007199254740993;"},
      {18, "1,234.5", "Double:1234.500000;"},
      {19, "-0.25", "Extended:-0.250000;"},
      {17, "x1", ""},
      {6, TVariant::Null(), ""},
      {6, TVariant(), "Integer:0;"},
      // Boolean
      {8, "TRUE", "Boolean:true;"},
      {8, "false", "Boolean:false;"},
      {8, "0", "Boolean:false;"},
      {8, "2", "Boolean:true;"},
      {8, "yes", ""},
      {8, 0.0, "Boolean:false;"},
      // text
      {65, TVariant::Date(0.5), "String:12:00:00:000;"},
      {65, TVariant::Date(0.0), "String:1899-12-30;"},
      {65, TVariant::Date(45000.25), "String:2023-03-15 06:00:00:000;"},
      {65, TVariant::Date(45000.0), "String:2023-03-15;"},
      {65, 1.5, "String:1.5;"},
      {0, 7, "String:7;"},
      {65, true, "String:True;"},
      {65, TVariant::Currency(15000), "String:1.5;"},
      {65, TVariant::Null(), ""},
      // dates
      {50, "2023-03-15", "DateTime:45000.000000;"},
      {50, "15/03/2023", ""},
      {51, "2023-03-15 06:00:00", "DateTime:45000.250000;"},
      {49, "18:00", "DateTime:0.750000;"},
      {51, 45000.5, "DateTime:45000.500000;"},
      // GUID
      {33, "", ""},
      {33, "{e2632ecb-4d51-4ce7-8d4c-6dae35094f1a}", "Guid:{E2632ECB-4D51-4CE7-8D4C-6DAE35094F1A};"},
      // wide text
      {66, Ansi("中文"), "WideString:中文;"},
      {66, 12, "WideString:12;"},
      // binary: the value's bytes
      {67, int32_t{7}, "Stream:07000000;"},
      {67, int16_t{-2}, "Stream:feff;"},
      {67, true, "Stream:ffff;"},
      {67, "ab", "Stream:6162;"},
      {67, TVariant(), ""},
      // no such type
      {20, 5, ""},
      {99, "x", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Assign(c.type, c.value), c.expected) << "type " << c.type;
}

TEST(AssignVariantTest, TextThatIsNoGuidRaises) {
  LoggingField f(33);
  try {
    AssignVariant(&f, TVariant("xyz"));
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'xyz' is not a valid GUID value");
  }
  EXPECT_EQ(f.log, "");
}

TEST(AssignVariantTest, NormalizeNumberTouchesOnlyNarrowText) {
  EXPECT_EQ(NormalizeNumber(TVariant("1,2,3")).StringRef(), "123");
  EXPECT_EQ(NormalizeNumber(TVariant(u"1,2")).WideRef(), u"1,2");
  EXPECT_EQ(NormalizeNumber(TVariant(5)).ToInt32(), 5);
}

// A source field with a fixed type and value.
class FixedReader : public TCustomTransField, public virtual IFieldReader {
 public:
  FixedReader(int32_t type, long double v, bool empty = false)
      : TCustomTransField(nullptr), type_(type), value_(v), empty_(empty) {}
  int32_t GetDataType() override { return type_; }
  bool IsEmpty() override { return empty_; }
  bool GetAsBoolean() override { return false; }
  uint8_t GetAsByte() override { return 0; }
  uint16_t GetAsWord() override { return 0; }
  uint32_t GetAsLongWord() override { return 0; }
  int8_t GetAsShortInt() override { return 0; }
  int16_t GetAsSmallInt() override { return 0; }
  int32_t GetAsInteger() override { return 0; }
  int64_t GetAsInt64() override { return 0; }
  float GetAsSingle() override { return 0; }
  double GetAsDouble() override { return 0; }
  long double GetAsExtended() override { return value_; }
  TGUID GetAsGuid() override { return {}; }
  TDateTime GetAsDateTime() override { return static_cast<double>(value_); }
  std::string GetAsString() override { return {}; }
  std::u16string GetAsWideString() override { return {}; }
  bool SaveToStream(TStream&) override { return false; }

 private:
  int32_t type_;
  long double value_;
  bool empty_;
};

// Text read as an extended value keeps the 64-bit mantissa and range of long double on
// every platform (mingw-w64's own reader goes through a double); the grammar stays decimal.
TEST(TextToFloatTest, FullExtendedPrecisionAndRange) {
  const struct {
    std::string text;
    bool ok;
    long double value;
  } cases[] = {
      {"0.1", true, 0.1L},
      {std::string(30, '1'), true, 1.11111111111111111111111111111e29L},
      {"1e400", true, 1e400L},
      {" +2.5 ", true, 2.5L},
      {"-3.000000000000000000001", true, -3.000000000000000000001L},
      {"1e99999", false, 0},
      {"1e-99999", false, 0},
      {"0x10", false, 0},
      {"++1", false, 0},
      {"inf", false, 0},
      {"nan", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    long double v = -7;
    EXPECT_EQ(TryTextToFloat(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : -7) << c.text << ": a refused text leaves the value";
  }
}

TEST(ValueToTextTest, ExtendedAndDateTimeValues) {
  struct Case {
    int32_t type;
    long double value;
    bool empty;
    const char* expected;
  } cases[] = {
      {19, 1.5L, false, "1.5"},
      {19, 1.0L / 3, false, "0.333333333333333"},
      {19, 1e20L, false, "1E20"},
      {19, 1.5L, true, ""},
      {49, 0.75L, false, "18:00:00:000"},
      {50, 45000.75L, false, "2023-03-15"},
      {51, 45000.25L, false, "2023-03-15 06:00:00:000"},
      {51, 45000.0L, false, "2023-03-15"},
      {6, 3.0L, false, ""},
      {65, 3.0L, false, ""},
  };
  for (const auto& c : cases) {
    FixedReader r(c.type, c.value, c.empty);
    EXPECT_EQ(ValueToText(&r), c.expected) << c.type;
  }
}

TEST(IsValidFilePathTest, ExpandsAndRejectsForbiddenCharacters) {
#ifdef _WIN32
  const std::string root = "C:\\data\\";  // the drive's colon is no forbidden mark
#else
  const std::string root = "/data/";
#endif
  std::string p = root + "out.txt";
  EXPECT_TRUE(IsValidFilePath(p));
  EXPECT_EQ(p, root + "out.txt");
  p = root + "a?b.txt";
  EXPECT_FALSE(IsValidFilePath(p));
  for (const char* bad : {"a:b", "a*b", "a\"b", "a<b", "a>b", "a|b"}) {
    std::string s = bad;
#ifdef _WIN32
    const bool driveRelative = s == "a:b";  // b on drive A
#else
    const bool driveRelative = false;
#endif
    if (!driveRelative) {
      EXPECT_FALSE(IsValidFilePath(s)) << bad;
    }
    s = root + bad;
    EXPECT_FALSE(IsValidFilePath(s)) << root << bad;
  }
  p = "sub/../out.txt";
  EXPECT_TRUE(IsValidFilePath(p));
  EXPECT_EQ(p, CurrentDirectory() + kPathDelim + "out.txt");
  // A double-byte character whose trail byte is "|" is a letter, not the forbidden mark.
  std::string chinese = root + Ansi("报表") + ".txt";
  EXPECT_TRUE(IsValidFilePath(chinese));
  if (ProcessCodePage().Kind() == CodePageKind::kDoubleByte) {
    std::string trail = root + "\x81|.txt";
    EXPECT_TRUE(IsValidFilePath(trail));
  }
}

}  // namespace
}  // namespace ryn
