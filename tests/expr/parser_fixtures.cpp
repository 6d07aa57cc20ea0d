#include "parser_fixtures.h"

#include "expr/syntax_errors.h"

namespace ryn::testing {

TestListener::TestListener() {
  auto declare = [this](const char* name, const char* title, int32_t result) -> TSyntaxFunction& {
    TSyntaxFunction& f = functions_.Add(name, Ansi(title));
    f.ResultType = result;
    return f;
  };
  declare("L$", "左串", kDataString)
      .AddParam("text", "", false, false, kDataString)
      .AddParam("length", "", false, false, kDataInt);
  declare("SUMOF", "合计", kDataDouble).AddParam("value", "", false, false, kDataDouble).Variadic = true;
  declare("OPT", "可选", kDataString)
      .AddParam("a", "", false, false, kDataInt)
      .AddParam("b", "", false, true, kDataInt)
      .AddParam("c", "", false, true, kDataString);
  declare("DAYS", "日期", kDataDate).AddParam("n", "", false, false, kDataInt);
  declare("ECHO", "回显", kDataVoid).AddParam("value", "", false, false, kDataVoid);
  declare("FAIL", "失败", kDataInt);
  declare("NOT", "非函数", kDataBool).AddParam("value", "", false, false, kDataBool);
  declare("%", "百分", kDataString).AddParam("code", "", false, false, kDataString);
}

int32_t TestListener::Execute(std::string_view name, std::span<const TCommonData* const> args, bool check,
                              TCommonData& result) {
  calls.push_back({std::string(name), check});
  auto arg = [&](size_t i) -> const TCommonData& { return *args[i]; };
  if (name == "L$") {
    if (args.size() != 2) return kErrBadArguments;
    auto n = static_cast<size_t>(arg(1).DataType == kDataInt ? arg(1).IntValue : 0);
    result.SetString(arg(0).StrValue.substr(0, n));
  } else if (name == "SUMOF") {
    long double sum = 0;
    for (const TCommonData* a : args) sum += a->DataType == kDataInt ? a->IntValue : a->FloatValue;
    result.SetDouble(sum);
  } else if (name == "OPT") {
    std::string s;
    for (const TCommonData* a : args) s += (s.empty() ? "" : "|") + a->AsText();
    result.SetString(s);
  } else if (name == "DAYS") {
    result.SetDate(arg(0).IntValue);
  } else if (name == "ECHO") {
    result.Assign(arg(0));
  } else if (name == "FAIL") {
    return 999;
  } else if (name == "NOT") {
    result.SetBool(!arg(0).BoolValue);
  } else if (name == "%") {
    result.SetString("P" + arg(0).StrValue);
  } else {
    return kErrNoFunction;
  }
  return 0;
}

std::string TestListener::GetErrorText(int32_t code) { return code == 999 ? Ansi("测试失败") : std::string(); }

namespace {

std::string Key(const TSyntaxCell& cell) {
  std::string key = cell.AsText();
  return cell.TableName.empty() ? key : cell.TableName + key;
}

}  // namespace

bool TestCells::GetCellValue(TSyntaxCell& cell) {
  std::string key = Key(cell);
  asked.push_back(key);
  auto it = cells.find(key);
  if (it != cells.end()) {
    cell.Value.Assign(it->second);
    return true;
  }
  if (!knowsEveryCell) return false;
  cell.Value.SetInt(1);
  return true;
}

bool TestCells::SetCellValue(const TSyntaxCell& cell) {
  std::string key = Key(cell);
  if (!cells.contains(key)) return false;
  cells[key].Assign(cell.Value);
  stored.push_back(key + "=" + cell.Value.AsText());
  return true;
}

std::string TestCells::DescribeCell(const TSyntaxCell& cell) {
  auto it = readings.find(Key(cell));
  return it == readings.end() ? std::string() : it->second;
}

std::string ItemsText(const TNiporlanItems& items) {
  std::string s;
  for (const auto& item : items) {
    if (!s.empty()) s += ' ';
    switch (item->ItemType) {
      case kItemOperator: s += OperatorText(item->OpCode); break;
      case kItemFunction: s += item->FuncName + "()"; break;
      case kItemCell: s += item->CellRef->AsText(); break;
      default: {
        const TCommonData& d = item->Data;
        if (d.IsNull) s += "NULL:" + std::string(DataTypeName(d.DataType));
        else if (d.DataType == kDataString) s += "\"" + d.StrValue + "\"";
        else if (d.DataType == kDataBool) s += d.BoolValue ? "TRUE" : "FALSE";
        else if (d.DataType == kDataDouble) s += d.AsText() + "d";
        else s += d.AsText();
      }
    }
  }
  return s;
}

}  // namespace ryn::testing
