#!/usr/bin/env bash
# The man page ryn(1) against the program: every command of `ryn --help`, every option and
# every exit status of each command's --help is in it, and man renders it without a warning.
# Arguments: ryn, the man page.
set -u
ryn=$1
page=$2
failures=0
fail() { failures=$((failures + 1)); printf 'FAIL: %s\n' "$*"; }

# The page's text with groff's escaped minus signs as typed.
text=$(sed 's/\\-/-/g; s/\\e/\\/g' "$page")
section() { awk -v s="$1" '/^\.SH /{on = ($0 == ".SH " s)} on' <<<"$text"; }

commands=$("$ryn" --help | awk '/^Commands:/{on=1; next} on && /^  [a-z]/{print $1}')
[[ $(wc -w <<<"$commands") -ge 6 ]] || fail "ryn --help lists too few commands: $commands"
for command in $commands; do
  grep -qx "\.B ryn $command" <<<"$(section SYNOPSIS)" || fail "command $command is not in the synopsis"
  grep -qE "^\.(B|BR|BI) \"?$command\b" <<<"$(section COMMANDS)" || fail "command $command is not in COMMANDS"
  help=$("$ryn" "$command" --help) || fail "$command --help exited $?"
  # Every long option the command's help names.
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$(section COMMANDS)" || fail "$command: $option is not in COMMANDS"
  done
  # Every exit status the help gives (the numbers of its "Exit status:" sentence).
  for status in $(sed -n '/Exit status:/,$p' <<<"$help" | grep -oE '\b(0|1|2|3|130)\b' | sort -u); do
    grep -qx "\.B $status" <<<"$(section "EXIT STATUS")" || fail "$command: exit status $status is not in EXIT STATUS"
  done
done
for global in --version --help; do
  grep -qE -- "^\.(B|BR) $global" <<<"$(section SYNOPSIS)" || fail "$global is not in the synopsis"
done
for variable in RYNFILER_CODEPAGE RYNFILER_PLUGIN_DIR RYNFILER_UI; do
  grep -qx "\.B $variable" <<<"$(section ENVIRONMENT)" || fail "$variable is not in ENVIRONMENT"
done

if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man warns: $warnings"
fi
exit $((failures > 0))
