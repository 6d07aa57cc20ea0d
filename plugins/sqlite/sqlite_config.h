// TSqliteConfig, the SQLite engine's configuration wizard: page 0 names the database
// file, page 1 chooses one of its tables (listed from the database) or takes an SQL
// query, page 2 shows the first records of the result as the engine reads them.
#pragma once

#include <string>
#include <utility>

#include "common/source_config.h"

namespace ryn {

class TSqliteSource;

class TSqliteConfig final : public TSourceConfig {
 public:
  explicit TSqliteConfig(TSqliteSource* target);

  // Page 0: the file must exist and be a database whose tables can be listed. Page 1: a
  // query (preferred when typed) or a chosen table that the engine copy accepts.
  bool CheckSucceed() override;
  // The engine takes every key of the copy, the choice it does not use (table or query)
  // written empty.
  void Update() override;

 protected:
  std::pair<std::string, std::string> PageHeader(int index) override;
  void PageShown(int index) override;

 private:
  void Build();
  void LoadFrom(const std::string& options);
  // Lists the database's tables, keeping the chosen one chosen; false with SQLite's
  // reason when the database cannot be read.
  bool FillTables(const std::string& database, const std::string& chosen, std::string& error);
  bool CheckDatabase();
  bool CheckSource();
  static std::string CompleteOptions(const std::string& database, const std::string& query, const std::string& table);

  std::string database_;  // the database of the last check (or of the engine's options)
  ui::ButtonEdit* databaseEdit_ = nullptr;
  ui::ListBox* tableList_ = nullptr;
  ui::Edit* sqlEdit_ = nullptr;
  ui::ListView* preview_ = nullptr;
  ui::OpenDialog openDialog_;
};

}  // namespace ryn
