// TXlsxConfig, the Excel engine's configuration wizard: page 0 names the workbook, page 1
// chooses one of its worksheets (listed from the workbook) with the heading row, the first
// data row and an optional cell range, page 2 shows the first records as the engine reads
// them.
#pragma once

#include <string>
#include <utility>

#include "common/source_config.h"

namespace ryn {

class TXlsxSource;

class TXlsxConfig final : public TSourceConfig {
 public:
  explicit TXlsxConfig(TXlsxSource* target);

  // Page 0: the file must exist and be a workbook whose sheets can be listed. Page 1: a
  // chosen sheet and rows that the engine copy accepts.
  bool CheckSucceed() override;

 protected:
  std::pair<std::string, std::string> PageHeader(int index) override;
  void PageShown(int index) override;

 private:
  void Build();
  void LoadFrom(const std::string& options);
  bool FillSheets(const std::string& file, const std::string& chosen, std::string& error);
  bool CheckFile();
  bool CheckSheet();

  std::string file_;  // the workbook of the last check (or of the engine's options)
  ui::ButtonEdit* fileEdit_ = nullptr;
  ui::ListBox* sheetList_ = nullptr;
  ui::Edit* headingEdit_ = nullptr;
  ui::Edit* firstDataEdit_ = nullptr;
  ui::Edit* rangeEdit_ = nullptr;
  ui::ListView* preview_ = nullptr;
  ui::OpenDialog openDialog_;
};

}  // namespace ryn
