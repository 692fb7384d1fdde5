# Sourced by run_tests.sh and run_wine_tests.sh: Wine with a prefix of its own (KELVANE_WINEPREFIX, else a
# fresh one) in a temporary folder, which becomes the current one, and tmux on a socket of its own; both
# are gone when the script exits.
export LANG=C.UTF-8 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
work=$(mktemp -d)
export WINEPREFIX=${KELVANE_WINEPREFIX:-$work/prefix}
socket=kelvane-windows-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null; wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 2
new_prefix() { [ -d "$WINEPREFIX" ] || timeout 300 wineboot -i >wineboot.log 2>&1; }
pane() { tmux -L "$socket" "$@"; }
# SESSION COLUMNSxROWS COMMAND: runs the command on a new pane, which shows EXIT=status and stays after it.
on_pane() { pane new-session -d -s "$1" -x "${2%x*}" -y "${2#*x}" "$3; echo EXIT=\$?; sleep 600"; }
# SESSION TEXT [TRIES]: waits until the pane shows the text (a fixed string), every 0.2 s; false after
# TRIES looks (300, a minute), printing the pane.
wait_pane() {
  for _ in $(seq 1 "${3:-300}"); do
    pane capture-pane -p -t "$1" -S -50 | grep -qF -- "$2" && return 0
    sleep 0.2
  done
  echo "the pane never showed '$2':"
  pane capture-pane -p -t "$1"
  return 1
}
