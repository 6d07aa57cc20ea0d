#include <gtest/gtest.h>

#include <filesystem>

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
// read by its declared types give the same fields and the same values.
TEST(SampleDataTest, TheCsvAndTheDatabaseMadeFromItReadAlike) {
  SourceRead csv = ReadSample(RYNFILER_CSV_LIBRARY, "csv_source.options");
  SourceRead db = ReadSample(RYNFILER_SQLITE_LIBRARY, "sqlite_source.options");
  ASSERT_EQ(csv.rc, 0);
  ASSERT_EQ(db.rc, 0);
  EXPECT_EQ(csv.names, db.names);
  EXPECT_EQ(csv.names[1], FromUtf8("单位名称"));
  EXPECT_EQ(csv.types, (std::vector<int32_t>{65, 65, 65, 18, 18, 18, 7, 18, 50, 65}));
  EXPECT_EQ(db.types, csv.types);
  EXPECT_EQ(csv.count, 3000);
  EXPECT_EQ(db.count, 3000);
  ASSERT_EQ(csv.rows.size(), db.rows.size());
  for (size_t i = 0; i < csv.rows.size(); ++i) ASSERT_EQ(csv.rows[i], db.rows[i]) << i;
  EXPECT_TRUE(csv.messages.empty());
  EXPECT_TRUE(db.messages.empty());
}

}  // namespace
}  // namespace ryn
