#!/usr/bin/env bash
# KelvaneConsole.dll as a file, with binutils alone, so that it runs for either bitness on any host: usage
# `check_dll.sh KelvaneConsole.dll 32|64`. Its machine, exports, imports (system DLLs only: no MinGW runtime
# DLL would be found beside a client) and resources. Ends with "N passed, N failed".
set -u
dll=${1:?usage: check_dll.sh KelvaneConsole.dll 32|64}
bits=${2:?usage: check_dll.sh KelvaneConsole.dll 32|64}
idl=$(cd "$(dirname "$0")/../../src/component" && pwd)/kelvane_console.idl
case $bits in
  64) triple=x86_64-w64-mingw32 format=pei-x86-64 syskind=3 ;;  # SYS_WIN64
  32) triple=i686-w64-mingw32 format=pei-i386 syskind=1 ;;      # SYS_WIN32
  *) echo "bits must be 32 or 64"; exit 2 ;;
esac
objdump=$triple-objdump
windres=$triple-windres

passed=0 failed=0
check() {  # NAME FOUND EXPECTED
  if [ "$2" = "$3" ]; then passed=$((passed + 1)) && echo "ok   $1"; else
    failed=$((failed + 1)) && printf 'FAIL %s\n     expected: %s\n     found:    %s\n' "$1" "$3" "$2"; fi
}

headers=$($objdump -p "$dll")

check "the file is for $format" "$($objdump -f "$dll" | sed -n 's/.*file format //p')" "$format"

# The export name table: "[   0] DllCanUnloadNow" and so on.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | paste -sd ' ')
check "exactly the four exports, undecorated" "$exports" \
  "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer"

imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | paste -sd ' ')
check "imports from system DLLs only" "$imports" "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL"

# The bytes of a resource, as hex: the leaf that follows the type's entry in objdump's resource listing
# (type, then name, then language) gives its address and size.
resource_hex() {
  local type=$1 base address size
  base=$(sed -n 's/^ImageBase\s*//p' <<<"$headers")
  read -r address size < <(sed -n "/name: .*: $type,/,/Leaf:/p" <<<"$headers" |
    sed -n 's/.*Leaf: Addr: \(0x[0-9a-f]*\), Size: \(0x[0-9a-f]*\).*/\1 \2/p')
  [ -n "${address:-}" ] || return 0
  local start=$((0x$base + address))
  $objdump -s -j .rsrc --start-address=$start --stop-address=$((start + size)) "$dll" |
    sed -n 's/^ [0-9a-f]* \(\([0-9a-f]\{2,8\} \)\{1,4\}\).*/\1/p' | tr -d ' \n'
}

# Resource names: each type's entry is followed by exactly one name, id 1.
names_of() { sed -n "/name: .*: $1,/,/Language Table/p" <<<"$headers" | sed -n 's/.*Entry: ID: \(0x[0-9a-f]*\),.*/\1/p' | head -1; }
check "resources TYPELIB and _IID_CONSOLE have id 1" "$(names_of TYPELIB) $(names_of _IID_CONSOLE)" "0x000001 0x000001"

typelib=$(resource_hex TYPELIB)
check "TYPELIB 1 is a type library (MSFT)" "${typelib:0:8}" "4d534654"
# The system kind is the low nibble of the header's flags word at offset 0x14.
check "TYPELIB 1 is for the $bits-bit system kind" "$((0x${typelib:41:1}))" "$syskind"

# The identifier as it lies in memory: three little-endian fields, then eight bytes as written.
uuid=$(awk '/uuid\(/ { match($0, /uuid\([0-9A-Fa-f-]+\)/); last = substr($0, RSTART + 5, RLENGTH - 6) }
             /interface _Console : IDispatch/ { print tolower(last); exit }' "$idl")
IFS=- read -r d1 d2 d3 d4 d5 <<<"$uuid"
le() { local s=$1 out=""; while [ -n "$s" ]; do out=${s:0:2}$out; s=${s:2}; done; echo "$out"; }
check "_IID_CONSOLE 1: length 16, then the identifier of _Console ($uuid)" "$(resource_hex _IID_CONSOLE)" \
  "10000000$(le "$d1")$(le "$d2")$(le "$d3")$d4$d5"

version=$($windres -i "$dll" -O rc 2>/dev/null | sed -n '/VERSIONINFO/,$p')
fields=$(sed -n -e 's/^ *\(FILE\|PRODUCT\)VERSION //p' -e 's/.*VALUE "\(FileVersion\|ProductVersion\|OLESelfRegister\)", "\(.*\)"/\1 \2/p' <<<"$version" | paste -sd '|')
check "version 3.0.0.8, \"3.00.0008\", self-registering" "$fields" \
  "3, 0, 0, 8|3, 0, 0, 8|FileVersion 3.00.0008|ProductVersion 3.00.0008|OLESelfRegister "

echo "$passed passed, $failed failed"
[ $failed = 0 ]
