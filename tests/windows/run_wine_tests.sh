#!/usr/bin/env bash
# The Console's behaviour tests on Wine's console: usage `run_wine_tests.sh BUILD_FOLDER` (the 64-bit
# build, with kelvane_real_console_tests.exe). Each test runs as a process of its own on a tmux pane of
# the console size it asks for: Wine cannot give a process a working console again after FreeConsole,
# which Unload calls. A test listed in wine_differences.txt is not run, and its reason is printed: there
# Wine differs from Windows, or the test needs the emulated console (fault injection, a console larger
# than its window, scripted keys). Ends with "N passed, N failed, N skipped".
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run_wine_tests.sh BUILD_FOLDER}" && pwd)
program=$build/kelvane_real_console_tests.exe
[ -f "$program" ] || { echo "no kelvane_real_console_tests.exe in $build"; exit 2; }

export LANG=C.UTF-8 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
work=$(mktemp -d)
export WINEPREFIX=${KELVANE_WINEPREFIX:-$work/prefix}
socket=kelvane-wine-tests-$$
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp "$program" "$work/tests.exe"
cd "$work"
[ -d "$WINEPREFIX" ] || timeout 300 wineboot -i >wineboot.log 2>&1

# The tests and the reasons for those not run here.
timeout 120 wine tests.exe --gtest_list_tests 2>/dev/null | tr -d '\r' |
  awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' >tests.txt
declare -A reasons
while IFS= read -r line; do
  case $line in '#'* | '') continue ;; esac
  reasons[${line%% *}]=${line#* }
done <"$here/wine_differences.txt"

# Runs one test on a pane of the size given; its outcome in NAME.xml, the pane's last words in NAME.pane.
run_on_pane() {
  local name=$1 size=$2 session=t
  rm -f result.xml
  tmux -L "$socket" new-session -d -s $session -x "${size%x*}" -y "${size#*x}" \
    "timeout --foreground 120 wine tests.exe --gtest_filter=$name --gtest_output=xml:result.xml; echo EXIT=\$?; sleep 600"
  for _ in $(seq 1 600); do
    tmux -L "$socket" capture-pane -p -t $session -S -50 | grep -q 'EXIT=' && break
    sleep 0.2
  done
  tmux -L "$socket" capture-pane -p -t $session -S -50 >"$name.pane"
  tmux -L "$socket" kill-session -t $session
}

passed=0
failed=0
skipped=0
declare -A suite_sizes  # the size each suite's fixture asked for, so that its other tests start on it
while IFS= read -r name; do
  if [ -n "${reasons[$name]:-}" ]; then
    skipped=$((skipped + 1))
    echo "skip $name: ${reasons[$name]}"
    continue
  fi
  suite=${name%%.*}
  size=${suite_sizes[$suite]:-80x25}
  run_on_pane "$name" "$size"
  needed=$(sed -n 's/^console size needed: \([0-9]*x[0-9]*\).*/\1/p' "$name.pane" | head -1)
  if [ -n "$needed" ]; then
    suite_sizes[$suite]=$needed
    size=$needed
    run_on_pane "$name" "$size"
  fi
  [ "$size" = 80x25 ] && size=""
  if [ -f result.xml ] && grep -q 'tests="1" failures="0"' result.xml && grep -q 'errors="0"' result.xml &&
    ! grep -q 'result="skipped"' result.xml; then
    passed=$((passed + 1))
    echo "ok   $name${size:+ ($size)}"
  else
    failed=$((failed + 1))
    echo "FAIL $name${size:+ ($size)}"
    if [ -f result.xml ]; then sed -n '/<failure/,/<\/failure>/p' result.xml | head -20; else tail -5 "$name.pane"; fi
  fi
done <tests.txt
echo "$passed passed, $failed failed, $skipped skipped"
[ $failed = 0 ]
