#!/usr/bin/env bash
# Ctrl-C on ryn.exe's console under Wine: the key is typed into the terminal Wine's console
# reads (a pseudo-terminal here), which turns it into the console's Ctrl-C event for the
# program's control handler. As on Linux, the run stops at a record with status 130: the
# file there before stays as it was and nothing is left beside it, and with --keep-partial
# what was written is closed with its end marker, one line per record.
# Arguments: the Wine loader, ryn.exe, rynfiler.dll, the MemSource test engine DLL.
set -u
wine=$1 ryn=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/engines" "$work/out"
# rynfiler.dll with the windowing adapter, which goes wherever it goes.
cp "$3" "$(dirname "$3")/rynfiler-ui.dll" "$4" "$work/engines/"
cd "$work" || exit 1
printf '单位标识=0001;\r\n年度=2023;\r\n报表类型=Y;\r\n时期=12;\r\n文件名=out/stopped.ryn;\r\n数据类型=0;\r\n选择列={\r\n\tA=a}' >to.txt
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

interrupt() {  # extra arguments of ryn transfer; sets status, n (read) and m (written)
  rm -f stop.out stop.err
  python3 - "$wine" "$ryn" "$@" <<'PYTHON'
import os, pty, select, sys, time
wine, ryn, extra = sys.argv[1], sys.argv[2], sys.argv[3:]
args = [wine, ryn, "transfer", "--dir", "engines", "--from", "MemSource", "--to", "Ryn文件",
        "--from-options", "rows=30000000", "--to-options-file", "to.txt", "--map", "Export(0)=Import(5)"] + extra
out = os.open("stop.out", os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
err = os.open("stop.err", os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
pid, fd = pty.fork()
if pid == 0:
    os.dup2(out, 1)
    os.dup2(err, 2)
    os.execvp(args[0], args)
# Progress lines come once a second; the first one shows the records are moving.
deadline = time.time() + 60
while time.time() < deadline and os.path.getsize("stop.err") == 0:
    time.sleep(0.1)
os.write(fd, b"\x03")
status = None
deadline = time.time() + 20
while status is None and time.time() < deadline:
    if select.select([fd], [], [], 0.2)[0]:
        try:
            os.read(fd, 4096)
        except OSError:
            pass
    done, raw = os.waitpid(pid, os.WNOHANG)
    if done:
        status = os.waitstatus_to_exitcode(raw)
if status is None:
    os.kill(pid, 9)
    os.waitpid(pid, 0)
    print("ryn.exe did not stop within 20 s of Ctrl-C", file=sys.stderr)
    status = 99
sys.exit(status)
PYTHON
  status=$?
  read -r n _ m _ <stop.out
}

printf 'previous\r\n@@' >out/stopped.ryn
interrupt
[[ $status == 130 ]] || fail "Ctrl-C: status $status: $(cat stop.out stop.err | tail -n 3)"
[[ $(cat out/stopped.ryn) == $'previous\r\n@@' ]] || fail "Ctrl-C: the previous file changed"
[[ $(ls out) == stopped.ryn ]] || fail "Ctrl-C: left in the folder: $(ls out)"
[[ $(cat stop.out) == *"; nothing was kept: the destination is as it was" ]] || fail "Ctrl-C: $(cat stop.out)"

interrupt --keep-partial
[[ $status == 130 ]] || fail "Ctrl-C, kept: status $status"
[[ $(tail -n 1 stop.err) == "ryn transfer: stopped by the user" ]] || fail "Ctrl-C, kept: $(tail -n 1 stop.err)"
[[ $n == "$m" && $n -gt 0 && $n -lt 30000000 ]] || fail "Ctrl-C, kept: $(cat stop.out)"
[[ $(cat stop.out) == *"; the partial output was kept" ]] || fail "Ctrl-C, kept: $(cat stop.out)"
[[ $(tail -c 4 out/stopped.ryn | od -An -c | tr -d ' ') == '\r\n@@' ]] || fail "Ctrl-C, kept: no end marker"
lines=$(tr -cd '\n' <out/stopped.ryn | wc -c)
[[ $lines == $((n + 1)) ]] || fail "Ctrl-C, kept: $lines line breaks for $n records"

if [[ $failures -gt 0 ]]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
