#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>

#include "boundary/host_support.h"
#include "rynfiler.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::ExportOptions;
using testing::TempDir;

TEST(AccessorsTest, FieldGetProcTable) {
  const std::set<int> listed = {0, 1, 2, 3, 4, 5, 6, 7, 8, 17, 18, 19, 33, 49, 50, 51, 65, 66, 67};
  for (int direction : {1, 2}) {
    for (int type = -1; type <= 70; ++type) {
      EXPECT_EQ(FieldGetProc(direction, type) != nullptr, listed.count(type) > 0) << direction << "/" << type;
    }
  }
  EXPECT_EQ(FieldGetProc(2, 6), FieldGetProc(2, 8)) << "one ordinal setter";
  EXPECT_EQ(FieldGetProc(1, 1), FieldGetProc(1, 8));
  EXPECT_EQ(FieldGetProc(2, 0), FieldGetProc(2, 65));
  EXPECT_EQ(FieldGetProc(1, 49), FieldGetProc(1, 51));
  EXPECT_NE(FieldGetProc(1, 65), FieldGetProc(2, 65));
  EXPECT_EQ(FieldGetProc(1, 20), nullptr);
  EXPECT_EQ(FieldGetProc(3, 0), nullptr);
  EXPECT_EQ(FieldGetProc(0, 65), nullptr);
}

class AccessorsOnExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(EngineInit(RYN_DESTINATION, &h), RYN_OK);
    ASSERT_EQ(EngineSetOptions(h, ExportOptions(dir.Path("acc.ryn"), 1, "A=a\r\nB=b\r\nC=c").c_str()), 0);
  }
  void TearDown() override { EngineFina(h); }
  std::string Finish() {
    EngineFina(h);
    h = 0;
    return TempDir::Read(dir.Path("acc.ryn"));
  }

  TempDir dir;
  RynHandle h = 0;
};

TEST_F(AccessorsOnExportTest, SettersWriteThroughTheFieldsOwnType) {
  auto setText = reinterpret_cast<RynSetText>(FieldGetProc(2, 65));
  auto setWide = reinterpret_cast<RynSetWide>(FieldGetProc(2, 66));
  auto setExt = reinterpret_cast<RynSetExtendedText>(FieldGetProc(2, 19));
  auto setOrdinal = reinterpret_cast<RynSetOrdinal>(FieldGetProc(2, 6));
  auto setDouble = reinterpret_cast<RynSetDouble>(FieldGetProc(2, 18));
  auto setBinary = reinterpret_cast<RynSetBinary>(FieldGetProc(2, 67));
  auto setTime = reinterpret_cast<RynSetDateTime>(FieldGetProc(2, 51));
  Append(h);
  const std::u16string wide = u"宽字符";
  EXPECT_EQ(setWide(h, 0, wide.data(), static_cast<int32_t>(wide.size() * 2 + 1)), -1);  // odd bytes round down
  EXPECT_EQ(setExt(h, 1, "1,234.5", 7), -1);  // a text field takes the text as it is
  setText(h, 2, "text with more", 4);          // only the given bytes
  EXPECT_EQ(setWide(h, 3, wide.data(), 2), 0) << "no such field";
  EXPECT_EQ(setExt(h, -1, "1", 1), 0);
  setOrdinal(h, 0, 5);   // the field is text: an ordinal is not written
  setDouble(h, 0, 1.5);  // nor a double
  EXPECT_EQ(setBinary(h, 0, "ab", 2, -1), 0);
  RynSystemTime st{2023, 3, 3, 15, 6, 0, 0, 0};
  setTime(h, 0, &st);
  setTime(h, 0, nullptr);
  Post(h);
  EXPECT_EQ(Finish(), "@\r\nA\tB\tC\r\n0001\t2023\tY\t12\t" + Ansi("宽字符") + "\t1,234.5\ttext\r\n@@");
}

// A host passing nonsense (no buffer, no length, negative sizes, indexes far outside the
// fields, a handle that is gone) changes nothing and gets the missing-value answer; the
// one proper value among them is all the record holds.
TEST_F(AccessorsOnExportTest, HostileArgumentsChangeNothing) {
  RynHandle gone = 0;
  ASSERT_EQ(EngineInit(RYN_DESTINATION, &gone), RYN_OK);
  EngineFina(gone);
  const int32_t indexes[] = {-1, 3, 1 << 30, INT32_MIN, INT32_MAX};
  const int32_t sizes[] = {-1, -4096, INT32_MIN, 0};
  Append(h);
  for (RynHandle target : {h, gone, RynHandle{0}, RynHandle{-1}}) {
    for (int32_t index : indexes) {
      for (int32_t size : sizes) {
        reinterpret_cast<RynSetText>(FieldGetProc(2, 65))(target, index, nullptr, 5);
        reinterpret_cast<RynSetText>(FieldGetProc(2, 65))(target, index, "abc", size);
        EXPECT_EQ(reinterpret_cast<RynSetExtendedText>(FieldGetProc(2, 19))(target, index, nullptr, size), 0);
        EXPECT_EQ(reinterpret_cast<RynSetWide>(FieldGetProc(2, 66))(target, index, nullptr, 8), 0);
        EXPECT_EQ(reinterpret_cast<RynSetBinary>(FieldGetProc(2, 67))(target, index, nullptr, size, 1), 0);
        reinterpret_cast<RynSetGuid>(FieldGetProc(2, 33))(target, index, nullptr);
        reinterpret_cast<RynSetDateTime>(FieldGetProc(2, 49))(target, index, nullptr);
        reinterpret_cast<RynSetOrdinal>(FieldGetProc(2, 3))(target, index, size);
        reinterpret_cast<RynSetDouble>(FieldGetProc(2, 18))(target, index, 1e308);

        char buf[4] = "zzz";
        int32_t len = size;
        EXPECT_EQ(reinterpret_cast<RynGetText>(FieldGetProc(1, 65))(target, index, nullptr, nullptr), 0);
        EXPECT_EQ(reinterpret_cast<RynGetText>(FieldGetProc(1, 65))(target, index, buf, &len), 0);
        EXPECT_EQ(reinterpret_cast<RynGetWide>(FieldGetProc(1, 66))(target, index, nullptr, nullptr), 0);
        int32_t last = 0;
        EXPECT_EQ(reinterpret_cast<RynGetBinary>(FieldGetProc(1, 67))(target, index, buf, size, &last), 0);
        EXPECT_EQ(reinterpret_cast<RynGetBinary>(FieldGetProc(1, 67))(target, index, nullptr, 4, nullptr), 0);
        EXPECT_EQ(std::string(buf), "zzz");
      }
      char name[4] = "yyy";
      int32_t len = -1;
      EXPECT_EQ(FieldGetName(target, index, name, &len), 0);
      EXPECT_EQ(FieldGetName(target, index, nullptr, nullptr), 0);
      FieldSetName(target, index, nullptr, 7);
      FieldSetName(target, index, "n", -3);
      EXPECT_EQ(std::string(name), "yyy");
    }
    char options[4] = "ooo";
    int32_t len = -7;
    EXPECT_EQ(EngineGetOptions(target, options, &len), 0);
    EXPECT_EQ(EngineGetOptions(target, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(options), "ooo");
    FieldSetCount(target, -5);
  }
  EXPECT_EQ(FieldGetCount(h), 3);
  reinterpret_cast<RynSetText>(FieldGetProc(2, 65))(h, 1, "kept", 4);
  Post(h);
  EXPECT_EQ(Finish(), "@\r\nA\tB\tC\r\n0001\t2023\tY\t12\t\tkept\t\r\n@@");
}

TEST_F(AccessorsOnExportTest, GettersOnADestinationGiveTheMissingValues) {
  Append(h);
  char buf[8] = "zzzzzzz";
  int32_t len = 4;
  EXPECT_EQ(reinterpret_cast<RynGetText>(FieldGetProc(1, 65))(h, 0, buf, &len), 0);
  EXPECT_EQ(reinterpret_cast<RynGetText>(FieldGetProc(1, 19))(h, 0, buf, &len), 0);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(std::string(buf), "zzzzzzz");
  EXPECT_EQ(reinterpret_cast<RynGetOrdinal>(FieldGetProc(1, 6))(h, 0), 0);
  EXPECT_EQ(reinterpret_cast<RynGetInt64>(FieldGetProc(1, 7))(h, 0), 0);
  EXPECT_EQ(reinterpret_cast<RynGetDouble>(FieldGetProc(1, 18))(h, 0), 0.0);
  EXPECT_EQ(reinterpret_cast<RynGetSingle>(FieldGetProc(1, 17))(h, 0), 0.0f);
  RynGuid g;
  std::memset(&g, 0xAB, sizeof g);
  reinterpret_cast<RynGetGuid>(FieldGetProc(1, 33))(&g, h, 0);
  EXPECT_EQ(g.Data1, 0u);
  EXPECT_EQ(g.Data4[7], 0);
  RynSystemTime st;
  std::memset(&st, 0xCD, sizeof st);
  reinterpret_cast<RynGetDateTime>(FieldGetProc(1, 50))(&st, h, 0);
  EXPECT_EQ(st.wYear, 0);
  EXPECT_EQ(st.wMilliseconds, 0);
  int32_t last = 0;
  char bin[4];
  EXPECT_EQ(reinterpret_cast<RynGetBinary>(FieldGetProc(1, 67))(h, 0, bin, 4, &last), 0);
  EXPECT_EQ(last, -1);
  char16_t wbuf[4];
  int32_t chars = 4;
  EXPECT_EQ(reinterpret_cast<RynGetWide>(FieldGetProc(1, 66))(h, 0, wbuf, &chars), 0);
  EXPECT_EQ(chars, 4);
  // Unknown handles: the same missing values.
  EXPECT_EQ(reinterpret_cast<RynGetOrdinal>(FieldGetProc(1, 6))(12345, 0), 0);
  reinterpret_cast<RynSetText>(FieldGetProc(2, 65))(12345, 0, "x", 1);
  EXPECT_EQ(reinterpret_cast<RynSetWide>(FieldGetProc(2, 66))(12345, 0, u"x", 2), 0);
}

}  // namespace
}  // namespace ryn
