// TOdbcConfig, the ODBC engine's configuration wizard: page 0 names where to connect (a
// DSN or a connection string, and the variable holding the password), page 1 chooses one
// of the tables the driver lists or takes an SQL query, page 2 shows the first records of
// the result as the engine reads them.
#pragma once

#include <string>
#include <utility>

#include "common/source_config.h"
#include "odbc/odbc_connection.h"

namespace ryn {

class TOdbcSource;

class TOdbcConfig final : public TSourceConfig {
 public:
  explicit TOdbcConfig(TOdbcSource* target);

  // Page 0: a DSN or a connection string that connects, its tables listed. Page 1: a query
  // (preferred when typed) or a chosen table that the engine copy accepts.
  bool CheckSucceed() override;
  // The engine takes every key of the copy, the choice it does not use written empty.
  void Update() override;

 protected:
  std::pair<std::string, std::string> PageHeader(int index) override;
  void PageShown(int index) override;

 private:
  void Build();
  void LoadFrom(const std::string& options);
  bool FillTables(const TOdbcTarget& target, const std::string& chosen, std::string& error);
  bool CheckConnection();
  bool CheckSource();
  static std::string CompleteOptions(const TOdbcTarget& target, const std::string& query, const std::string& table);

  TOdbcTarget target_;  // where the last check connected (or the engine's options)
  ui::Edit* dsnEdit_ = nullptr;
  ui::Edit* connectionEdit_ = nullptr;
  ui::Edit* passwordVarEdit_ = nullptr;
  ui::ListBox* tableList_ = nullptr;
  ui::Edit* sqlEdit_ = nullptr;
  ui::ListView* preview_ = nullptr;
};

}  // namespace ryn
