#!/usr/bin/env bash
# The Console's behaviour tests on Wine's console: usage `run_wine_tests.sh BUILD_FOLDER` (the 64-bit build,
# with kelvane_real_console_tests.exe). Each test is a process of its own (Wine cannot give a process a
# working console again after FreeConsole, which Unload calls) on a tmux pane of the size it asks for. A
# test listed in wine_differences.txt is skipped with its reason. Ends with "N passed, N failed, N skipped".
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run_wine_tests.sh BUILD_FOLDER}" && pwd)
[ -f "$build/kelvane_real_console_tests.exe" ] || { echo "no kelvane_real_console_tests.exe in $build"; exit 2; }
source "$here/wine.sh"
cp "$build/kelvane_real_console_tests.exe" tests.exe
new_prefix
timeout 120 wine tests.exe --gtest_list_tests 2>/dev/null | tr -d '\r' |
  awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' >tests.txt
declare -A reasons suite_sizes  # suite_sizes: the size a suite's fixture asked for, for its other tests
while read -r name reason; do
  [[ $name = '#'* || -z $name ]] || reasons[$name]=$reason
done <"$here/wine_differences.txt"

run_on_pane() {  # NAME SIZE: the test's outcome in result.xml, the pane's last words in NAME.pane
  rm -f result.xml
  on_pane t "$2" "timeout --foreground 120 wine tests.exe --gtest_filter=$1 --gtest_output=xml:result.xml"
  wait_pane t 'EXIT=' 600 >/dev/null
  pane capture-pane -p -t t -S -50 >"$1.pane"
  pane kill-session -t t
}

passed=0 failed=0 skipped=0
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
    suite_sizes[$suite]=$needed size=$needed
    run_on_pane "$name" "$size"
  fi
  [ "$size" = 80x25 ] && size=""
  if grep -qs 'tests="1" failures="0"' result.xml && grep -q 'errors="0"' result.xml &&
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
