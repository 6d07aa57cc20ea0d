#!/usr/bin/env bash
# Each DLL's export table holds exactly the names of its .def, undecorated (no "@n" of
# __stdcall, no leading "_"). Usage: def_exports_test.sh OBJDUMP DLL DEF [DLL DEF...]
set -uo pipefail
objdump=$1
shift
fail=0
while [ $# -ge 2 ]; do
  dll=$1 def=$2
  shift 2
  expected=$(sed -n 's/^\s\+\([A-Za-z_][A-Za-z0-9_]*\)\s*$/\1/p' "$def" | sort)
  actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
  if [ -z "$expected" ] || [ "$expected" != "$actual" ]; then
    echo "$(basename "$dll"): exports differ from $(basename "$def") (< .def, > DLL):"
    diff <(echo "$expected") <(echo "$actual")
    fail=1
  fi
done
[ $fail -eq 0 ] && echo "every DLL exports its .def's names, undecorated"
exit $fail
