#!/usr/bin/env bash
# `ryn --version` and `ryn functions`: what a user asks before writing a formula.
set -u
ryn=$1
failures=0
fail() { failures=$((failures + 1)); printf 'FAIL: %s\n' "$*"; }

version=$("$ryn" --version)
[[ $version == $'ryn 0.1.0\ncode page: '"$RYNFILER_CODEPAGE" ]] || fail "--version printed: $version"

names=$("$ryn" functions --names)
# Every function of the language, each on one line as its declaration gives it.
[[ $(printf '%s\n' "$names" | wc -l) -eq 30 ]] || fail "functions --names: $(printf '%s\n' "$names" | wc -l) lines"
for line in $'double ROUND(double value, double dec)\t四舍五入取整' \
            $'string FillLeft(int Len, string Str, string Chr)\t左边填充空格' \
            $'TDataTime DATEADD(TDataTime date, int day, int month, int year)\t加日期'; do
  grep -qxF -- "$line" <<<"$names" || fail "functions --names lacks: $line"
done

full=$("$ryn" functions)
grep -qxF '声明: string IDCARD18(string text)' <<<"$full" || fail "functions lacks the IDCARD18 declaration"
[[ $(grep -c '^说明：' <<<"$full") -eq 30 ]] || fail "functions: $(grep -c '^说明：' <<<"$full") titles"

"$ryn" functions --bogus >/dev/null 2>&1
[[ $? -eq 2 ]] || fail "an unknown argument is a usage error"

exit $((failures > 0))
