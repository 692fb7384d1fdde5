#!/usr/bin/env bash
# Compiles the type library source with widl, as the Windows build will, and looks at what it made: the
# dual interface with flags 0x11D0, the enumeration and the creatable class. Skipped (77) where widl,
# Wine's oaidl.idl or stdole2.tlb is missing (on Debian, wine64-tools brings all three).
set -euo pipefail
idl=$1
first() { for f in "$@"; do if [ -e "$f" ]; then echo "$f"; return; fi; done; }
widl=$(command -v widl || first /usr/lib/wine/widl /usr/lib/*/wine/widl || command -v x86_64-w64-mingw32-widl || true)
oaidl=$(first /usr/include/wine/wine/windows/oaidl.idl /usr/include/wine/windows/oaidl.idl)
stdole=$(first /usr/lib/*/wine/*/stdole2.tlb /usr/lib/wine/*/stdole2.tlb /usr/lib64/wine/*/stdole2.tlb)
if [ -z "$widl" ] || [ -z "$oaidl" ] || [ -z "$stdole" ]; then
  echo "skipped: widl '${widl}', oaidl.idl '${oaidl}', stdole2.tlb '${stdole}'"
  exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$widl" -t -I "$(dirname "$oaidl")" -L "$(dirname "$stdole")" -o "$out/kelvane_console.tlb" "$idl"
test -s "$out/kelvane_console.tlb"
winedump=$(command -v winedump || first /usr/lib/wine/winedump /usr/lib/*/wine/winedump || true)
if [ -n "$winedump" ]; then
  dump=$("$winedump" dump "$out/kelvane_console.tlb" | tr -d '\0')
  for expected in "typekind = TKIND_DISPATCH" "flags = 000011d0h" "typekind = TKIND_ENUM" \
                  "typekind = TKIND_COCLASS" "flags = 00000002h" 'name = "KSConsoleLineStyles"' \
                  'name = "GetInputLine"'; do
    grep -qF "$expected" <<<"$dump" || { echo "the type library lacks: $expected"; exit 1; }
  done
fi
echo "compiled with $widl"
