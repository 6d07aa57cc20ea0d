#!/usr/bin/env bash
# The DLL's export table holds exactly the functions rynfiler.h declares with RYN_API and
# RYN_CALL (the plain-convention AppInit/AppFina only where a library defines them), by
# their undecorated names; it imports only system DLLs and the windowing adapter, which its
# manifest finds beside it.
# Usage: dll_exports_test.sh OBJDUMP HEADER DLL ADAPTER_DLL
set -euo pipefail
objdump=$1 header=$2 dll=$3 adapter=$4
fail=0

expected=$(grep -o 'RYN_API [^(]*RYN_CALL \w*(' "$header" | sed 's/.*RYN_CALL \(\w*\)(/\1/' | sort)
actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
# The framework's 35 functions at least: fewer means the header was not read right.
[ "$(echo "$expected" | wc -l)" -ge 35 ] || { echo "the header declares $(echo "$expected" | wc -l) functions, fewer than 35"; fail=1; }
if [ "$expected" != "$actual" ]; then
  echo "exports differ from the header (< header, > DLL):"
  diff <(echo "$expected") <(echo "$actual") || true
  fail=1
fi
if [[ "$actual" == *@* ]]; then echo "decorated names exported"; fail=1; fi

# Imports: Windows' own DLLs, and rynfiler-ui.dll; no C++ runtime, libgcc or winpthread.
system='^(KERNEL32|msvcrt|USER32|ADVAPI32|SHELL32|ole32|WS2_32|bcrypt)\.dll$'
for file in "$dll" "$adapter"; do
  while read -r name; do
    if [[ "$name" == rynfiler-ui.dll && "$file" == "$dll" ]]; then continue; fi
    if ! [[ "$name" =~ $system ]]; then echo "$(basename "$file") imports $name"; fail=1; fi
  done < <("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done

# A DLL that imports the adapter carries the manifest that finds it beside the DLL (a host
# in another folder would fail to load it otherwise).
if [[ "$("$objdump" -p "$dll")" == *"DLL Name: rynfiler-ui.dll"* ]]; then
  rsrc=$(mktemp)
  "${objdump%objdump}objcopy" -O binary --only-section=.rsrc "$dll" "$rsrc"
  grep -aq '<file name="rynfiler-ui.dll"/>' "$rsrc" || { echo "no manifest naming rynfiler-ui.dll as the DLL's own file"; fail=1; }
  rm -f "$rsrc"
fi

# __stdcall: the callee pops its arguments ("ret N"); EngineInit takes 8 bytes of them.
ret=$("$objdump" -d "$dll" | awk '/<_EngineInit@8>:/{f=1} f && !done && /\tret/{print; done=1}')
if ! [[ "$ret" =~ ret[[:space:]]+\$0x8$ ]]; then
  echo "EngineInit does not return with ret 8 (not __stdcall?): $ret"; fail=1
fi
[ $fail -eq 0 ] && echo "$(echo "$actual" | wc -l) exports, undecorated, system imports only"
exit $fail
