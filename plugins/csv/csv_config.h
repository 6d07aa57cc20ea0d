// TCsvConfig, the CSV engine's configuration wizard: page 0 names the file and how it is
// written (delimiter, heading row, encoding, column types), page 1 shows its first
// records as the engine reads them.
#pragma once

#include <string>
#include <utility>

#include "common/source_config.h"

namespace ryn {

class TCsvSource;

class TCsvConfig final : public TSourceConfig {
 public:
  explicit TCsvConfig(TCsvSource* target);

  // Page 0: the file must exist, the delimiter be one the engine can split at, and the
  // engine copy must read the file with these settings.
  bool CheckSucceed() override;

 protected:
  std::pair<std::string, std::string> PageHeader(int index) override;
  void PageShown(int index) override;

 private:
  void Build();
  void LoadFrom(const std::string& options);
  bool CheckFile();

  ui::ButtonEdit* fileEdit_ = nullptr;
  ui::Edit* delimiterEdit_ = nullptr;
  ui::ComboBox* headerRowBox_ = nullptr;
  ui::ComboBox* encodingBox_ = nullptr;
  ui::ComboBox* inferTypesBox_ = nullptr;
  ui::ListView* preview_ = nullptr;
  ui::OpenDialog openDialog_;
};

}  // namespace ryn
