// Test doubles for the parser: a function listener with a handful of declared functions
// that records how it was called, a cell provider over a map of cells, and a compact text
// form of compiled item lists.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "expr/niporlan.h"
#include "expr/syntax_listener.h"
#include "expr/syntax_parser.h"
#include "platform/codepage.h"

namespace ryn::testing {

// Functions:
//   L$(text string, length int) string     first bytes of text
//   SUMOF(value double...) double          variadic sum
//   OPT(a int, b int opt, c string opt)    "a|b|c" with "null" for empty arguments
//   DAYS(n int) TDataTime                  the date n days after day 0
//   ECHO(value) void                       the argument itself
//   FAIL() int                             answers code 999 (own message "测试失败")
//   NOT(value bool) bool                   a function that happens to be called NOT
//   %(code string) string                  "P" and the code
class TestListener : public TCustomSyntaxFunctionListener {
 public:
  TestListener();
  int32_t Execute(std::string_view name, std::span<const TCommonData* const> args, bool check,
                  TCommonData& result) override;
  std::string GetErrorText(int32_t code) override;

  struct Call {
    std::string name;
    bool check;
  };
  std::vector<Call> calls;
};

// Knows the cells whose text form (without value) is a key of cells; records every cell
// asked for or stored, by text form.
class TestCells : public TInterfacedObject, public virtual ISyntaxCellProvider {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ISyntaxCellProvider>(this, iid, obj);
  }
  bool GetCellValue(TSyntaxCell& cell) override;
  bool SetCellValue(const TSyntaxCell& cell) override;
  std::string DescribeCell(const TSyntaxCell& cell) override;
  std::string GetErrorText(int32_t) override { return {}; }

  void SetInt(const std::string& key, int32_t v) { cells[key].SetInt(v); }
  void SetDouble(const std::string& key, long double v) { cells[key].SetDouble(v); }
  void SetString(const std::string& key, std::string v) { cells[key].SetString(std::move(v)); }

  std::map<std::string, TCommonData> cells;
  std::map<std::string, std::string> readings;  // DescribeCell answers
  std::vector<std::string> asked;
  std::vector<std::string> stored;
  bool knowsEveryCell = false;  // answer every cell with the int 1
};

// "1 2.5d "s" TRUE NULL:int L$() [A] + NEG": items in order; doubles carry a "d".
std::string ItemsText(const TNiporlanItems& items);

}  // namespace ryn::testing
