// The computations behind the common functions, shared by the source files of
// TSyntaxCommonFunctionListener; not for other users. Each receives exactly the declared
// number of arguments and answers 0 or an error code.
#pragma once

#include "expr/common_functions.h"

namespace ryn::common_functions {

// Numbers (common_functions_numbers.cpp).
int32_t Abs(FunctionArgs args, TCommonData& result);
int32_t Int(FunctionArgs args, TCommonData& result);
int32_t Round(FunctionArgs args, TCommonData& result);
int32_t Mod(FunctionArgs args, TCommonData& result);
int32_t Power(FunctionArgs args, TCommonData& result);

// Text (common_functions_text.cpp).
int32_t Left(FunctionArgs args, TCommonData& result);
int32_t Mid(FunctionArgs args, TCommonData& result);
int32_t Right(FunctionArgs args, TCommonData& result);
int32_t Len(FunctionArgs args, TCommonData& result);
int32_t Val(FunctionArgs args, TCommonData& result);
int32_t Pos(FunctionArgs args, TCommonData& result);
int32_t IsDigit(FunctionArgs args, TCommonData& result);
int32_t Str(FunctionArgs args, TCommonData& result);
int32_t Idc(FunctionArgs args, TCommonData& result);

// Dates and identity cards (common_functions_dates.cpp).
int32_t DateValue(FunctionArgs args, TCommonData& result);
int32_t Date(FunctionArgs args, TCommonData& result);
int32_t DateAdd(FunctionArgs args, TCommonData& result);
int32_t Year(FunctionArgs args, TCommonData& result);
int32_t Month(FunctionArgs args, TCommonData& result);
int32_t Day(FunctionArgs args, TCommonData& result);
int32_t Today(FunctionArgs args, TCommonData& result);
int32_t IsIdCard(FunctionArgs args, TCommonData& result);
int32_t IdCard18(FunctionArgs args, TCommonData& result);
int32_t IdCardDate(FunctionArgs args, TCommonData& result);

}  // namespace ryn::common_functions
