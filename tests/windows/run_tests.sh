#!/usr/bin/env bash
# The runtime tests of KelvaneConsole.dll, for either bitness: usage `run_tests.sh BUILD_FOLDER`, the
# folder that holds KelvaneConsole.dll and early_bound_client.exe (build/windows-x64 or build/windows-x86).
#
# Under Wine, in a fresh prefix of its own: registers the DLL with regsvr32 and checks what it wrote,
# runs the early-bound C++ client and the VBScript test (cscript) each on a tmux pane, so that they have a
# console, types their keys and checks the pane, then unregisters and checks that nothing is left. Each
# program is judged by its own "N passed, N failed" line: Wine's cscript exits 0 even when a script
# fails. Ends with its own such line, one per step.
#
# A 32-bit DLL needs a host that runs 32-bit x86 code (Wine's 32-bit loader, wine32). Where there is none,
# the run prints why and exits 77, skipped.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run_tests.sh BUILD_FOLDER}" && pwd)
dll=$build/KelvaneConsole.dll
client=$build/early_bound_client.exe
[ -f "$dll" ] && [ -f "$client" ] || { echo "no KelvaneConsole.dll and early_bound_client.exe in $build"; exit 2; }

format=$(objdump -f "$dll" | sed -n 's/.*file format //p')
case $format in
  pei-x86-64) bits=64 ;;
  pei-i386) bits=32 ;;
  *) echo "not a Windows DLL: $dll ($format)"; exit 2 ;;
esac

# 32-bit Windows programs run under Wine only through its 32-bit loader, and only where the kernel
# executes 32-bit x86 programs at all; some kernels are built without that and refuse them with "Exec
# format error". A 93-byte i386 program that exits at once tells.
if [ $bits = 32 ]; then
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  why=$("$probe" 2>&1)
  status=$?
  rm -f "$probe"
  if [ $status != 0 ]; then
    echo "skipped: this host cannot execute 32-bit x86 programs (${why##*: }), so 32-bit Wine cannot start;" \
      "run this on a host that does (with wine32), or follow docs/WINDOWS.md on Windows"
    exit 77
  fi
  loader=""
  for candidate in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine /usr/lib/wine/i386-unix/wine; do
    [ -x "$candidate" ] && { loader=$candidate; break; }
  done
  if [ -z "$loader" ]; then
    echo "skipped: the 32-bit DLL needs 32-bit Wine (package wine32, after 'dpkg --add-architecture i386')," \
      "which is not installed"
    exit 77
  fi
fi

export LANG=C.UTF-8 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
tmux_socket=kelvane-windows-$$
cleanup() {
  tmux -L "$tmux_socket" kill-server 2>/dev/null
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp "$dll" "$client" "$here/console.vbs" "$work/"
cd "$work"

W="timeout 120 wine"
# --foreground: wine keeps the pane's terminal, or its keys would never arrive.
WT="timeout --foreground 120 wine"
# The 32-bit script host is the one in SysWOW64.
cscript=cscript
[ $bits = 32 ] && cscript='C:\windows\syswow64\cscript.exe'

passed=0
failed=0
step() {
  local name=$1 start=$SECONDS
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok   $name ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    echo "FAIL $name ($((SECONDS - start)) s)"
  fi
}

# The program's own last line must say that nothing failed.
summary_ok() {
  [ -f "$1" ] && grep -Eq '^[0-9]+ passed, 0 failed' "$1" && return 0
  echo "--- $1:"
  cat "$1" 2>/dev/null
  return 1
}

# Waits until the pane shows the text (a fixed string); false after about 60 seconds.
wait_pane() {
  local session=$1 text=$2
  for _ in $(seq 1 300); do
    tmux -L "$tmux_socket" capture-pane -p -t "$session" | grep -qF -- "$text" && return 0
    sleep 0.2
  done
  echo "the pane never showed '$text':"
  tmux -L "$tmux_socket" capture-pane -p -t "$session"
  return 1
}

# Types a key until the pane shows the text that follows it. A key that arrives before the program waits
# for it is flushed by the program, so it is typed again after a while rather than once.
type_until() {
  local session=$1 text=$2
  shift 2
  for _ in $(seq 1 20); do
    tmux -L "$tmux_socket" send-keys -t "$session" "$@"
    for _ in $(seq 1 10); do
      tmux -L "$tmux_socket" capture-pane -p -t "$session" | grep -qF -- "$text" && return 0
      sleep 0.2
    done
  done
  echo "typing $* never brought '$text'"
  return 1
}

on_pane() {  # SESSION COMMAND: runs the command on a new 80 x 25 pane, which stays after it ends
  tmux -L "$tmux_socket" new-session -d -s "$1" -x 80 -y 25 "$2; echo EXIT=\$?; sleep 600"
}

prefix() { timeout 300 wineboot -i >wineboot.log 2>&1; }

register() {
  $W regsvr32 KelvaneConsole.dll >regsvr32.log 2>&1 || { cat regsvr32.log; return 1; }
  local clsid='HKCR\CLSID\{7638F75B-9DFD-4660-8567-ABB168B3E707}'
  local server
  server=$($W reg query "$clsid\\InprocServer32" /s 2>/dev/null | tr -d '\r')
  grep -q 'KelvaneConsole.dll' <<<"$server" && grep -q 'ThreadingModel *REG_SZ *Apartment' <<<"$server" || {
    echo "InprocServer32: $server"
    return 1
  }
  $W reg query 'HKCR\KelvaneConsole.Console\CLSID' 2>/dev/null | tr -d '\r' |
    grep -q '{7638F75B-9DFD-4660-8567-ABB168B3E707}' || { echo "no ProgID"; return 1; }
}

early_bound() {
  on_pane client "$WT early_bound_client.exe client.log"
  wait_pane client "KEY?" && type_until client "CHAR?" b && type_until client "LINE?" c &&
    type_until client "LINE?h" h && type_until client "LINE?hi" i && tmux -L "$tmux_socket" send-keys -t client Enter &&
    wait_pane client "EXIT="
  local waited=$?
  tmux -L "$tmux_socket" kill-session -t client
  [ $waited = 0 ] && summary_ok client.log
}

late_bound() {
  printf '┌┐└┘─│' | iconv -f UTF-8 -t UTF-16 >box.txt
  on_pane vbs "$WT $cscript //nologo console.vbs vbs.log box.txt"
  local ok=0
  wait_pane vbs "READY" || ok=1
  tmux -L "$tmux_socket" capture-pane -p -e -t vbs >pane.txt
  [ $ok = 0 ] && type_until vbs "EXIT=" a || ok=1
  tmux -L "$tmux_socket" kill-session -t vbs
  # The log is UTF-16, as the script wrote its box characters.
  iconv -f UTF-16 -t UTF-8 vbs.log >vbs.txt 2>/dev/null
  summary_ok vbs.txt || ok=1
  # The box on the pane: its single lines as code page 437 drew them, yellow (93) on blue (44).
  local colours top side bottom
  colours=$'\e[93m\e[44m'
  top="$colours┌$(printf '─%.0s' $(seq 1 28))┐"
  side="$colours│                            │"
  bottom="$colours└$(printf '─%.0s' $(seq 1 28))┘"
  if ! grep -qF "$top" pane.txt || ! grep -qF "$bottom" pane.txt || [ "$(grep -cF "$side" pane.txt)" != 3 ]; then
    echo "the pane does not show the box:"
    cat -v pane.txt | head -8
    ok=1
  fi
  return $ok
}

unregister() {
  $W regsvr32 /u KelvaneConsole.dll >unregsvr32.log 2>&1 || { cat unregsvr32.log; return 1; }
  $W early_bound_client.exe unregistered.log --unregistered >/dev/null 2>&1
  summary_ok unregistered.log
}

echo "KelvaneConsole.dll, $bits-bit, under $(wine --version 2>/dev/null)"
step "fresh Wine prefix" prefix
step "regsvr32 registers the class, ProgID and type library" register
step "early-bound C++ client (function table, GetErrorInfo, IDispatch)" early_bound
step "VBScript through cscript (late binding, by-reference write-back, errors, the pane)" late_bound
step "regsvr32 /u removes it all" unregister
for log in client.log vbs.txt unregistered.log; do
  [ -f "$log" ] && { echo "--- $log"; cat "$log"; }
done
echo "$passed passed, $failed failed"
[ $failed = 0 ]
