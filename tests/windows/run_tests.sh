#!/usr/bin/env bash
# The runtime tests of KelvaneConsole.dll, for either bitness: usage `run_tests.sh BUILD_FOLDER`, the
# folder that holds KelvaneConsole.dll and early_bound_client.exe (build/windows-x64 or build/windows-x86).
# Under Wine, in a fresh prefix: regsvr32; the early-bound C++ client and the VBScript test (cscript),
# each on a tmux pane, so that they have a console, with their keys typed and the box on the pane checked;
# regsvr32 /u, and the client checks that nothing is left. Each program is judged by its own "N passed,
# N failed" line (Wine's cscript exits 0 even when a script fails); the run ends with its own, a step each.
# A 32-bit DLL needs a host that runs 32-bit x86 code and Wine's 32-bit loader (wine32); where there is
# none, the run says why and exits 77, skipped.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run_tests.sh BUILD_FOLDER}" && pwd)
[ -f "$build/KelvaneConsole.dll" ] && [ -f "$build/early_bound_client.exe" ] ||
  { echo "no KelvaneConsole.dll and early_bound_client.exe in $build"; exit 2; }
case $(objdump -f "$build/KelvaneConsole.dll" | sed -n 's/.*file format //p') in
  pei-x86-64) bits=64 cscript=cscript ;;
  pei-i386) bits=32 cscript='C:\windows\syswow64\cscript.exe' ;;  # the 32-bit script host
  *) echo "not a Windows DLL: $build/KelvaneConsole.dll"; exit 2 ;;
esac
if [ $bits = 32 ]; then
  # Some kernels are built without 32-bit x86 programs and refuse them ("Exec format error"); a 93-byte
  # i386 program that exits at once tells.
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  why=$("$probe" 2>&1) || { rm -f "$probe"; echo "skipped: this host cannot execute 32-bit x86 programs (${why##*: })," \
    "so 32-bit Wine cannot start; run this on a host that does (with wine32), or follow docs/WINDOWS.md on Windows"; exit 77; }
  rm -f "$probe"
  ls /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine /usr/lib/wine/i386-unix/wine >/dev/null 2>&1 || {
    echo "skipped: the 32-bit DLL needs 32-bit Wine (package wine32, after 'dpkg --add-architecture i386')," \
      "which is not installed"; exit 77; }
fi

source "$here/wine.sh"
cp "$build/KelvaneConsole.dll" "$build/early_bound_client.exe" "$here/console.vbs" .
W="timeout 120 wine"
WT="timeout --foreground 120 wine"  # on a pane: wine keeps its terminal, or the keys would never arrive
passed=0 failed=0
step() {
  local name=$1 start=$SECONDS
  shift
  if "$@"; then passed=$((passed + 1)) result=ok; else failed=$((failed + 1)) result=FAIL; fi
  printf '%-4s %s (%d s)\n' $result "$name" $((SECONDS - start))
}
summary_ok() { grep -Eqs '^[0-9]+ passed, 0 failed' "$1"; }  # the program's own last line: nothing failed
# SESSION TEXT KEY: types the key until the pane shows the text that follows it. A key that arrives
# before the program waits for it is flushed by the program, so it is typed again after a while.
type_until() {
  for _ in $(seq 1 20); do
    pane send-keys -t "$1" "$3"
    wait_pane "$1" "$2" 10 >/dev/null && return 0
  done
  echo "typing $3 never brought '$2'"
  return 1
}

register() { $W regsvr32 KelvaneConsole.dll >regsvr32.log 2>&1 || { cat regsvr32.log; return 1; }; }
early_bound() {
  on_pane client 80x25 "$WT early_bound_client.exe client.log"
  wait_pane client "KEY?" && type_until client "CHAR?" b && type_until client "LINE?" c &&
    type_until client "LINE?h" h && type_until client "LINE?hi" i && pane send-keys -t client Enter &&
    wait_pane client "EXIT="
  local waited=$?
  pane kill-session -t client
  [ $waited = 0 ] && summary_ok client.log
}
late_bound() {
  printf '┌┐└┘─│' | iconv -f UTF-8 -t UTF-16 >box.txt
  on_pane vbs 80x25 "$WT $cscript //nologo console.vbs vbs.log box.txt"
  local ok=0
  wait_pane vbs "READY" || ok=1
  pane capture-pane -p -e -t vbs >pane.txt
  [ $ok = 0 ] && type_until vbs "EXIT=" a || ok=1
  pane kill-session -t vbs
  iconv -f UTF-16 -t UTF-8 vbs.log >vbs.txt 2>/dev/null  # the script writes UTF-16, for its box characters
  summary_ok vbs.txt || ok=1
  # The box on the pane, row by row: its single lines as code page 437 drew them, yellow (93) on blue (44).
  local line blank box
  line=$(printf '─%.0s' $(seq 1 28)) blank=$(printf '%28s' '')
  box=$(grep -o $'\e\\[93m\e\\[44m[┌│└][─ ]*[┐│┘]' pane.txt | sed 's/.*m//' | paste -sd '|')
  [ "$box" = "┌$line┐|│$blank│|│$blank│|│$blank│|└$line┘" ] || { echo "the pane does not show the box:"; cat -v pane.txt | head -8; ok=1; }
  return $ok
}
unregister() {
  $W regsvr32 /u KelvaneConsole.dll >unregsvr32.log 2>&1 || { cat unregsvr32.log; return 1; }
  $W early_bound_client.exe unregistered.log --unregistered >/dev/null 2>&1
  summary_ok unregistered.log
}

echo "KelvaneConsole.dll, $bits-bit, under $(wine --version 2>/dev/null)"
step "fresh Wine prefix" new_prefix
step "regsvr32" register
step "early-bound C++ client (the registry, the function table, GetErrorInfo)" early_bound
step "VBScript through cscript (late binding, by-reference write-back, errors, the pane)" late_bound
step "regsvr32 /u removes it all" unregister
for log in client.log vbs.txt unregistered.log; do [ -f "$log" ] && echo "--- $log" && cat "$log"; done
echo "$passed passed, $failed failed"
[ $failed = 0 ]
