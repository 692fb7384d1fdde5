#!/usr/bin/env bash
# Runs a program on a real terminal (a tmux pane on a tmux server of its own, from an interactive shell
# with job control) and checks that the terminal is given back as it was: the same termios settings,
# the main screen with what it showed before, the cursor visible, autowrap on and colours reset.
#
#   terminal_test.sh SCENARIO PROGRAM [ARGS...]
#
# SCENARIO: `go` (once the program has drawn, the file PROBE_GO_FILE appears and it ends its own way), a
# signal name (sent once it has drawn), `stop` (SIGTSTP gives the terminal back while it is stopped,
# SIGCONT draws the console again, then TERM), `typed` and `resize` (keys typed, see below), `bare`
# (Ctrl+C before anything), `demo` (two scenes by keys), `pipe` (keys from a pipe, no terminal). Exit 77
# (skipped) without tmux.
set -u
scenario=$1
shift

if [[ $scenario == pipe ]]; then
  # Keys from a pipe drive a headless program, and its last wait ends with the input: a, A (Shift first),
  # Enter, Up, Escape, then code 0.
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  printf 'aA\r\x1b[A\x1b' | KELVANE_CONSOLE=headless PROBE_LOG="$log" timeout 20 "$@" || { echo "FAIL: exit $?"; exit 1; }
  expected=$'65 80x25\n16 80x25\n13 80x25\n38 80x25\n27 80x25\n0 80x25'
  [[ $(cat "$log") == "$expected" ]] || { echo "FAIL: codes"; cat "$log"; exit 1; }
  echo "PASS: pipe"
  exit 0
fi

command -v tmux >/dev/null || { echo "SKIP: tmux is not installed"; exit 77; }

dir=$(mktemp -d)
server="kelvane-test-$$-$RANDOM"
cleanup() { tmux -L "$server" kill-server 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
# A test killed outright (ctest's timeout sends SIGKILL) runs no trap: a watcher in a session of its own
# ends the tmux server, and the program on it, within a second of this script's end.
setsid -f bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; tmux -L "$2" kill-server; rm -rf "$3"' \
  _ $$ "$server" "$dir" </dev/null >/dev/null 2>&1
fail() {
  echo "FAIL: $*"
  echo "--- screen:"; tmux -L "$server" capture-pane -p 2>/dev/null
  echo "--- program's error output:"; cat "$dir/stderr" 2>/dev/null
  exit 1
}

printf '%q ' "$@" > "$dir/command"
cat > "$dir/pane.sh" <<SCRIPT
trap true INT  # a Ctrl+C that ends the program does not end this script (the program gets the default)
stty -g > "$dir/before"
printf 'MAIN SCREEN\n'
KELVANE_CONSOLE=terminal PROBE_PID_FILE="$dir/pid" PROBE_GO_FILE="$dir/go" PROBE_LOG="$dir/log" $(cat "$dir/command") 2> "$dir/stderr" < /dev/null
stty -g > "$dir/after"
printf 'AFTER\n'
touch "$dir/done"
SCRIPT
tmux -L "$server" -f /dev/null new-session -d -x 80 -y 24 "env PS1='$ ' bash --norc --noprofile -i" ||
  fail "tmux did not start"
tmux -L "$server" send-keys "clear; bash $dir/pane.sh" Enter

screen() { tmux -L "$server" capture-pane -p; }
state() { tmux -L "$server" display -p '#{alternate_on} #{cursor_flag} #{wrap_flag}'; }
wait_state() {  # alternate screen, cursor and autowrap flags as a pattern; "1 0 1" while a key is awaited
  for _ in $(seq 1 150); do [[ $(state) == $1 ]] && return 0; sleep 0.1; done
  fail "$2: $(state)"
}
wait_for() {  # a text on the screen, or a file
  for _ in $(seq 1 150); do
    if [[ $1 == file:* ]]; then [[ -e ${1#file:} ]] && return 0; else screen | grep -q -- "$1" && return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for $1"
}
given_back() {  # the screen as it was, checked from outside while the program may still exist
  [[ $(state) == "0 1 1" ]] || fail "alternate screen, cursor, autowrap: $(state), expected 0 1 1"
  screen | grep -q 'MAIN SCREEN' || fail "the main screen did not come back"
}

wait_for "file:$dir/before"
case $scenario in
  typed | resize)
    # KEYS (tmux key names) typed one at a time, each once the program waits for it (its cursor hidden);
    # CODES what GetInputKey gave, with the window's size. With `resize`, the terminal shrinks to 60 x 20
    # while the second key is awaited.
    wait_for "PROBE TEXT 80x24"
    count=0
    for key in $KEYS; do
      wait_state "1 0 1" "not waiting for a key"
      if [[ $scenario == resize && $count == 1 ]]; then
        tmux -L "$server" resize-window -x 60 -y 20
        wait_for "PROBE TEXT 80x24"
        sleep 0.3
        [[ $(tmux -L "$server" display -p '#{pane_width}x#{pane_height}') == 60x20 ]] || fail "tmux did not resize"
      fi
      if [[ $key == lit:* ]]; then tmux -L "$server" send-keys -l "${key#lit:}"; else tmux -L "$server" send-keys "$key"; fi
      count=$((count + 1))
      for _ in $(seq 1 150); do [[ $(wc -l < "$dir/log" 2>/dev/null || echo 0) -ge $count ]] && break; sleep 0.1; done
    done
    [[ $(cat "$dir/log") == "$CODES" ]] || fail "codes: $(tr '\n' ' ' < "$dir/log"), expected $(echo $CODES)"
    kill -TERM "$(cat "$dir/pid")"
    ;;
  demo)
    # The demo: its first scene, Space to the next, q to leave; it waits for each with its cursor hidden.
    wait_for "sixteen colours"
    for key in Space q; do
      wait_state "1 0 1" "the demo does not wait for a key"
      tmux -L "$server" send-keys "$key"
      [[ $key == Space ]] && wait_for "Text: written line by line"
    done
    ;;
  bare)  # Ctrl+C before any text or key ends the program, the terminal restored first
    wait_state "1*" "not on the alternate screen"
    tmux -L "$server" send-keys C-c
    ;;
  *)
    wait_for "PROBE TEXT 80x24"
    wait_state "1*" "not on the alternate screen"
    if [[ $scenario == go ]]; then
      touch "$dir/go"
    elif [[ $scenario == stop ]]; then
      kill -TSTP "$(cat "$dir/pid")"
      wait_state "0*" "not given back while stopped"
      given_back
      kill -CONT "$(cat "$dir/pid")"
      wait_for "PROBE TEXT 80x24"
      wait_state "1*" "not back on the alternate screen after SIGCONT"
      kill -TERM "$(cat "$dir/pid")"
    else
      kill "-$scenario" "$(cat "$dir/pid")"
    fi
    ;;
esac
wait_for "file:$dir/done"
given_back
[[ $(cat "$dir/after") == $(cat "$dir/before") ]] || fail "termios differ: $(cat "$dir/after") vs $(cat "$dir/before")"
# Nothing the program set lingers: the shell's text comes out in the terminal's own colours.
tmux -L "$server" capture-pane -p -e | grep -q $'^AFTER' || fail "colours not reset: $(tmux -L "$server" capture-pane -p -e | grep AFTER | cat -v)"
echo "PASS: $scenario"
