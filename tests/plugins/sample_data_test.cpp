#include <gtest/gtest.h>

#include <filesystem>

#include "common/value_text.h"
#include "platform/codepage.h"
#include "plugins/source_host.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::ReadExported;
using testing::SourceRead;
using testing::TempDir;

// The options texts of the sample are stored in UTF-8 and name their files relative to
// the sample's folder.
SourceRead ReadSample(const char* library, const char* optionsFile) {
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(RYNFILER_SAMPLE_DIR);
  SourceRead r = ReadExported(library, FromUtf8(TempDir::Read(optionsFile)));
  std::filesystem::current_path(before);
  return r;
}

// The sample CSV read with type inference and the database made from it at build time
// read by its declared types give the same fields and the same values. Amounts written
// with two decimals ("18772.80") would not read back as the same text from a number, so
// the CSV keeps those columns as text, each value the number the database holds.
TEST(SampleDataTest, TheCsvAndTheDatabaseMadeFromItReadAlike) {
  SourceRead csv = ReadSample(RYNFILER_CSV_LIBRARY, "csv_source.options");
  SourceRead db = ReadSample(RYNFILER_SQLITE_LIBRARY, "sqlite_source.options");
  ASSERT_EQ(csv.rc, 0);
  ASSERT_EQ(db.rc, 0);
  EXPECT_EQ(csv.names, db.names);
  EXPECT_EQ(csv.names[1], FromUtf8("单位名称"));
  EXPECT_EQ(csv.types, (std::vector<int32_t>{65, 65, 65, 65, 65, 65, 7, 65, 50, 65}));
  EXPECT_EQ(db.types, (std::vector<int32_t>{65, 65, 65, 18, 18, 18, 7, 18, 50, 65}));
  EXPECT_EQ(csv.count, 3000);
  EXPECT_EQ(db.count, 3000);
  ASSERT_EQ(csv.rows.size(), db.rows.size());
  for (size_t i = 0; i < csv.rows.size(); ++i) {
    for (size_t j = 0; j < csv.names.size(); ++j) {
      const testing::Value& c = csv.rows[i][j];
      const testing::Value& d = db.rows[i][j];
      if (db.types[j] != 18 || !c || !d) {
        ASSERT_EQ(c, d) << i << " " << j;
        continue;
      }
      double cv = 0, dv = 0;
      ASSERT_TRUE(ParseDecimal(*c, cv)) << *c;
      ASSERT_TRUE(ParseDecimal(*d, dv)) << *d;
      ASSERT_EQ(cv, dv) << i << " " << j;
    }
  }
  EXPECT_TRUE(csv.messages.empty());
  EXPECT_TRUE(db.messages.empty());
}

}  // namespace
}  // namespace ryn
