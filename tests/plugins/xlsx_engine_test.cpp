// The Excel engine library read through its exports and through the proxies, from
// packages written part by part: values by cell type, dates by style, missing rows and
// cells, heading and range options, and broken packages that must give clear errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "plugins/source_host.h"
#include "plugins/xlsx_package.h"
#include "support/temp_dir.h"
#include "support/wizard_host.h"
#include "transport/options_text.h"
#include "xlsx/xlsx_engine.h"

namespace ryn {
namespace {

using testing::Messages;
using testing::ReadExported;
using testing::ReadProxied;
using testing::Row;
using testing::SourceRead;
using testing::TempDir;
using testing::TestSheet;
using testing::V;
using testing::Workbook;
using testing::WriteZip;

const std::string kLibrary = RYNFILER_XLSX_LIBRARY;

std::string Gbk(const char* utf8) { return FromUtf8(utf8); }

std::string Options(const std::vector<std::pair<const char*, std::string>>& entries) { return testing::OptionsText(entries); }

SourceRead ReadBoth(const std::string& options) { return testing::ReadBoth(kLibrary, options); }

// A cell of the given type and value ("" for no t attribute).
std::string C(const char* ref, const char* t, const std::string& v, int style = 0) {
  std::string c = std::string("<c r=\"") + ref + "\"" + (*t ? std::string(" t=\"") + t + "\"" : "") +
                  (style ? " s=\"" + std::to_string(style) + "\"" : "") + ">";
  return c + (std::string(t) == "inlineStr" ? v : "<v>" + v + "</v>") + "</c>";
}

class XlsxEngineTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string file_ = dir_.Path("book.xlsx");
};

TEST_F(XlsxEngineTest, ValuesByCellType) {
  // Styles: 0 general, 1 built-in date 14, 2 custom "yyyy-mm-dd hh:mm:ss", 3 custom
  // number with a quoted "d" (no date), 4 built-in 22.
  const std::string xfs = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>"
                          "<xf numFmtId=\"22\"/>";
  const std::string fmts = "<numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd hh:mm:ss\"/>"
                           "<numFmt numFmtId=\"165\" formatCode=\"0.00&quot;d&quot;\"/>";
  const std::string sst = "<si><t>名称</t></si><si><t>甲乙</t></si>"
                          "<si><r><t>rich </t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">run </t></r>"
                          "<rPh sb=\"0\" eb=\"1\"><t>PHONETIC</t></rPh></si>"
                          "<si><t>a_x000D__x000A_b_x005F_x0041_</t></si><si><t>😀 한</t></si><si><t/></si>";
  const std::string rows =
      "<row r=\"1\">" + C("A1", "s", "0") + C("B1", "inlineStr", "<is><t>数</t></is>") + C("C1", "", "7") + "</row>"
      "<row r=\"2\">" + C("A2", "s", "1") + C("B2", "", "0.30000000000000004") + C("C2", "", "45356", 1) + "</row>"
      "<row r=\"3\">" + C("A3", "s", "2") + C("B3", "", "1e+300") + C("C3", "", "45356.25495949074", 2) + "</row>"
      "<row r=\"4\">" + C("A4", "s", "3") + C("B4", "", "123456789012345678901") + C("C4", "", "2.5", 3) + "</row>"
      "<row r=\"5\">" + C("A5", "s", "4") + C("B5", "b", "1") + C("C5", "", "60", 4) + "</row>"
      "<row r=\"6\">" + C("A6", "s", "5") + C("B6", "b", "0") + C("C6", "e", "#DIV/0!") + "</row>"
      "<row r=\"7\">" + C("A7", "inlineStr", "<is><r><t>in</t></r><r><t>line_x0009_</t></r></is>") +
      "<c r=\"B7\" t=\"str\"><f>A1&amp;\"x\"</f><v>formula text</v></c>"
      "<c r=\"C7\"><f>1/0</f></c></row>"
      "<row r=\"8\">" + C("A8", "s", "99") + "<c r=\"B8\"><f>SUM(1,2)</f><v>3</v></c>" + C("C8", "e", "#N/A") + "</row>";
  WriteZip(file_, Workbook({{"Sheet1", rows, "A1:C8"}}, sst, fmts, xfs));
  SourceRead r = ReadBoth(Options({{"文件", file_}}));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.names, (std::vector<std::string>{Gbk("名称"), Gbk("数"), "7"}));
  EXPECT_EQ(r.types, (std::vector<int32_t>{65, 65, 65}));
  EXPECT_EQ(r.count, 7);
  // Under GBK the emoji and the Korean syllable are lost, and the user told.
  const bool utf8 = EncodingKey(ProcessCodePage().Name()) == "UTF8";
  const std::vector<std::vector<std::string>> texts = {
      {Gbk("甲乙"), "0.30000000000000004", "2024-03-05"},
      {"rich run ", "1E300", "2024-03-05 06:07:08.500"},
      {"a\r\nb_x0041_", "123456789012345678901", "2.5"},
      {utf8 ? std::string("😀 한") : std::string("? ?"), "TRUE", "60"},
      {"", "FALSE", "#DIV/0!"},
      {"inline\t", "formula text", ""},
      {"#REF!", "3", "#N/A"},
  };
  const std::vector<std::vector<std::string>> got = testing::ReadTexts(kLibrary, Options({{"文件", file_}}));
  ASSERT_EQ(got.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(got[i], texts[i]) << "record " << i + 1;
  // Error cells and the serial that is no day read as empty by type.
  EXPECT_EQ(r.rows[3][2], std::nullopt);
  EXPECT_EQ(r.rows[4][2], std::nullopt);
  EXPECT_EQ(r.rows[4][0], std::nullopt) << "an empty shared string is an empty value";
  Messages want = {
      {18, Gbk("列2“7”有1个值不符合列的类型，按类型读作空值（第一个在第5行：60）")},
      {kMsgValueCodePage, Gbk("列0“名称”有1个值含有代码页没有的字符，已替换为“?”（第一个在第5行：? ?）")},
      {18, Gbk("列0“名称”有1个错误值，按类型读作空值（第一个在第8行：#REF!）")},
      {18, Gbk("列2“7”有2个错误值，按类型读作空值（第一个在第6行：#DIV/0!）")},
  };
  if (utf8) want.erase(want.begin() + 1);
  EXPECT_EQ(r.messages, want);
  EXPECT_EQ(r.problems[3].size(), utf8 ? 0u : 1u);
}

// Rows and cells a writer leaves out are empty; references may be missing (each follows
// the one before); the range, heading row and first data row choose what is read.
TEST_F(XlsxEngineTest, GapsHeadingsAndRanges) {
  const std::string rows =
      "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>h1</t></is></c><c t=\"inlineStr\"><is><t>h2</t></is></c>"
      "<c r=\"E2\"><v>5</v></c></row>"
      "<row><c r=\"C3\"><v>1</v></c></row>"  // no r: row 3
      "<row r=\"6\"><c r=\"B6\"><v>2</v></c><c r=\"D6\" s=\"0\"/></row>"
      "<row r=\"7\" spans=\"2:5\"/>";
  WriteZip(file_, Workbook({{"S", rows, "B2:E7"}}));
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, std::string>> options;
    std::vector<std::string> names;
    int32_t count;
    std::vector<Row> rows;
  };
  const std::vector<Case> cases = {
      {"the used range, heading on its first row", {}, {"h1", "h2", "", "5"}, 5,
       {{V("~"), V("1"), V("~"), V("~")}, Row(4, std::nullopt), Row(4, std::nullopt), {V("2"), V("~"), V("~"), V("~")},
        Row(4, std::nullopt)}},
      {"no heading", {{"列名行", "0"}}, {"", "", "", ""}, 6,
       {{V("h1"), V("h2"), V("~"), V("5")}, {V("~"), V("1"), V("~"), V("~")}, Row(4, std::nullopt), Row(4, std::nullopt),
        {V("2"), V("~"), V("~"), V("~")}, Row(4, std::nullopt)}},
      {"a range and a first data row", {{"区域", "C2:D100"}, {"数据起始行", "6"}}, {"h2", ""}, 2,
       {Row(2, std::nullopt), Row(2, std::nullopt)}},
      {"heading below the data", {{"区域", "B3:C3"}, {"列名行", "2"}, {"数据起始行", "3"}}, {"h1", "h2"}, 1,
       {{V("~"), V("1")}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto options = c.options;
    options.insert(options.begin(), {"文件", file_});
    SourceRead r = ReadBoth(Options(options));
    ASSERT_EQ(r.rc, 0);
    std::vector<std::string> names = c.names;
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i].empty()) names[i] = r.names[i].empty() ? "" : r.names[i];  // the host's default name
    EXPECT_EQ(r.names, names);
    EXPECT_EQ(r.count, c.count);
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_TRUE(r.messages.empty()) << r.messages[0].second;
  }
}

// A sheet that misstates or omits its used range: an omitted one is found by reading the
// sheet; a cell beyond a stated one is left out, and the user told once.
TEST_F(XlsxEngineTest, SheetsWithoutOrWithAWrongDimension) {
  const std::string rows = "<row r=\"1\">" + C("A1", "", "1") + C("B1", "", "2") + "</row><row r=\"3\">" + C("C3", "", "3") +
                           C("D3", "", "4") + "</row>";
  WriteZip(file_, Workbook({{"none", rows, ""}, {"short", rows, "A1:B3"}, {"a1", rows, "A1"}, {"empty", "", "A1"},
                            {"bare", "", ""}}));
  // No range, or the "A1" of a writer that does not know it: the sheet is read once for it.
  for (const char* sheet : {"none", "a1"}) {
    SourceRead none = ReadBoth(Options({{"文件", file_}, {"工作表", sheet}, {"列名行", "0"}}));
    EXPECT_EQ(none.count, 3) << sheet;
    EXPECT_EQ(none.rows, (std::vector<Row>{{V("1"), V("2"), V("~"), V("~")}, Row(4, std::nullopt),
                                          {V("~"), V("~"), V("3"), V("4")}}))
        << sheet;
    EXPECT_TRUE(none.messages.empty()) << sheet;
  }
  for (const char* sheet : {"empty", "bare"}) {
    SourceRead empty = ReadBoth(Options({{"文件", file_}, {"工作表", sheet}}));
    EXPECT_EQ(empty.rc, 0) << sheet;
    EXPECT_EQ(empty.names.size(), 1u) << sheet;
    EXPECT_EQ(empty.count, 0) << sheet;
    EXPECT_TRUE(empty.rows.empty()) << sheet;
  }
  SourceRead shortDim = ReadBoth(Options({{"文件", file_}, {"工作表", "short"}, {"列名行", "0"}}));
  EXPECT_EQ(shortDim.rows, (std::vector<Row>{{V("1"), V("2")}, Row(2, std::nullopt), Row(2, std::nullopt)}));
  ASSERT_EQ(shortDim.messages.size(), 1u);
  EXPECT_EQ(shortDim.messages[0], std::make_pair(kSourceMsgNotice,
                                                 Gbk("单元格C3在工作表所述的区域之外，未读取（同一区域外的其他单元格也未读取）")));
}

TEST_F(XlsxEngineTest, SheetsByNameOrNumber) {
  WriteZip(file_, Workbook({{"一", "<row r=\"1\">" + C("A1", "", "1") + "</row>", "A1"},
                            {"2", "<row r=\"1\">" + C("A1", "", "2") + "</row>", "A1"},
                            {"third", "<row r=\"1\">" + C("A1", "", "3") + "</row>", "A1"}}));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "1"}, {Gbk("一"), "1"}, {"2", "2"} /* a name before a number */, {"1", "1"}, {"3", "3"}, {"third", "3"}};
  for (const auto& [sheet, first] : cases) {
    SourceRead r = ReadExported(kLibrary, Options({{"文件", file_}, {"工作表", sheet}}));
    ASSERT_EQ(r.rc, 0) << sheet;
    EXPECT_EQ(r.names, std::vector<std::string>{first}) << sheet;
  }
  std::vector<std::string> names;
  std::string error;
  ASSERT_TRUE(XlsxSheetNames(file_, names, error));
  EXPECT_EQ(names, (std::vector<std::string>{Gbk("一"), "2", "third"}));
}

TEST_F(XlsxEngineTest, BrokenPackagesAndOptionsGiveClearErrors) {
  const std::string notZip = dir_.Path("text.xlsx"), noSheet = dir_.Path("nosheet.xlsx"),
                    badXml = dir_.Path("badxml.xlsx"), noStyles = dir_.Path("nostyles.xlsx"),
                    truncated = dir_.Path("truncated.xlsx");
  TempDir::Write(notZip, "name,qty\r\n");
  testing::Parts parts = Workbook({{"S", "<row r=\"1\">" + C("A1", "", "1") + "</row>", "A1"}});
  testing::Parts missingSheet = parts;
  for (auto& p : missingSheet)
    if (p.first == "xl/worksheets/sheet1.xml") p.first.clear();
  WriteZip(noSheet, missingSheet);
  testing::Parts bad = parts;
  for (auto& p : bad)
    if (p.first == "xl/workbook.xml") p.second = "<workbook><sheets><sheet name=\"S\"";
  WriteZip(badXml, bad);
  testing::Parts cut = parts;
  for (auto& p : cut)
    if (p.first == "xl/worksheets/sheet1.xml") p.second = p.second.substr(0, p.second.find("<v>"));
  WriteZip(truncated, cut);
  // A whole zip cut short loses its directory: no zip at all.
  std::string zipBytes;
  WriteZip(noStyles, parts);
  {
    std::ifstream in(noStyles, std::ios::binary);
    zipBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string halfZip = dir_.Path("half.xlsx");
  TempDir::Write(halfZip, zipBytes.substr(0, zipBytes.size() / 2));

  struct Case {
    std::string name;
    std::string options;
    int32_t rc;
    std::string message;  // its beginning
  };
  const std::vector<Case> cases = {
      {"no file", Options({{"工作表", "S"}}), kXlsxOptionsNoFile, Gbk("没有指定Excel文件！")},
      {"missing file", Options({{"文件", dir_.Path("missing.xlsx")}}), kXlsxOptionsOpenFailed,
       Gbk("Excel文件“") + dir_.Path("missing.xlsx") + Gbk("”打开失败：")},
      {"not a zip", Options({{"文件", notZip}}), kXlsxOptionsOpenFailed,
       Gbk("Excel文件“") + notZip + Gbk("”打开失败：不是xlsx工作簿（不是zip文件）")},
      {"half a zip", Options({{"文件", halfZip}}), kXlsxOptionsOpenFailed,
       Gbk("Excel文件“") + halfZip + Gbk("”打开失败：不是xlsx工作簿（不是zip文件）")},
      {"sheet part missing", Options({{"文件", noSheet}}), kXlsxOptionsOpenFailed,
       Gbk("Excel文件“") + noSheet + Gbk("”打开失败：工作簿缺少“xl/worksheets/sheet1.xml”")},
      {"broken workbook XML", Options({{"文件", badXml}}), kXlsxOptionsOpenFailed,
       Gbk("Excel文件“") + badXml + Gbk("”打开失败：“xl/workbook.xml”不是完好的XML：")},
      {"truncated sheet XML", Options({{"文件", truncated}}), kXlsxOptionsOpenFailed,
       Gbk("Excel文件“") + truncated + Gbk("”打开失败：“xl/worksheets/sheet1.xml”不是完好的XML：")},
      {"no such sheet", Options({{"文件", noStyles}, {"工作表", "4"}}), kXlsxOptionsNoSheet,
       Gbk("Excel文件“") + noStyles + Gbk("”中没有工作表“4”")},
      {"heading row not a number", Options({{"文件", noStyles}, {"列名行", "x"}}), kXlsxOptionsBadValue,
       Gbk("选项“列名行”的值“x”无效")},
      {"first data row 0", Options({{"文件", noStyles}, {"数据起始行", "0"}}), kXlsxOptionsBadValue,
       Gbk("选项“数据起始行”的值“0”无效")},
      {"row beyond the sheet", Options({{"文件", noStyles}, {"数据起始行", "1048577"}}), kXlsxOptionsBadValue,
       Gbk("选项“数据起始行”的值“1048577”无效")},
      {"range", Options({{"文件", noStyles}, {"区域", "B2:"}}), kXlsxOptionsBadValue, Gbk("选项“区域”的值“B2:”无效")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SourceRead r = ReadBoth(c.options);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_EQ(r.established, 0);
    EXPECT_EQ(r.count, -1);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].first, 3);
    EXPECT_EQ(r.messages[0].second.substr(0, c.message.size()), c.message);
  }
  SourceRead unknown = ReadExported(kLibrary, Options({{"文件", noStyles}, {"表", "S"}}));
  EXPECT_EQ(unknown.rc, 0);
  ASSERT_EQ(unknown.messages.size(), 1u);
  EXPECT_EQ(unknown.messages[0].first, kMsgUnknownOptionKeys);
}

// A sheet broken after its first rows (the heading read fine): the reading ends with an
// error naming the part, never a crash, and what came before arrives.
TEST_F(XlsxEngineTest, ASheetBrokenMidwayEndsTheReadingWithAnError) {
  std::string rows;
  for (int i = 1; i <= 3000; ++i) rows += "<row r=\"" + std::to_string(i) + "\">" + C("A1", "", std::to_string(i)) + "</row>";
  testing::Parts parts = Workbook({{"S", rows, "A1:A3000"}});
  for (auto& p : parts)
    if (p.first == "xl/worksheets/sheet1.xml") p.second = p.second.substr(0, p.second.size() * 2 / 3) + "<c></row>";
  WriteZip(file_, parts);
  SourceRead r = ReadBoth(Options({{"文件", file_}}));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.count, 2999);
  ASSERT_GT(r.rows.size(), 1000u);
  EXPECT_LT(r.rows.size(), 2999u);
  for (size_t i = 0; i < r.rows.size(); ++i) ASSERT_EQ(r.rows[i], Row{V(std::to_string(i + 2).c_str())});
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].first, 3);
  EXPECT_NE(r.messages[0].second.find(Gbk("“xl/worksheets/sheet1.xml”不是完好的XML")), std::string::npos);
}

TEST_F(XlsxEngineTest, GivesItsOptionsBackAsTheyReadBack) {
  WriteZip(file_, Workbook({{"S", "<row r=\"1\">" + C("A1", "", "1") + "</row>", "A1"}}));
  SourceRead r = ReadExported(kLibrary, Options({{"文件", file_}, {"区域", " A1:B2 "}}));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.options, Options({{"文件", file_}, {"工作表", ""}, {"列名行", ""}, {"数据起始行", ""}, {"区域", "A1:B2"}}));
  EXPECT_EQ(ReadExported(kLibrary, r.options), r);
}

}  // namespace
}  // namespace ryn
