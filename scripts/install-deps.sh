#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine (as root, or with sudo).
# With --windows: what the Windows DLL needs instead, MinGW-w64 for both bitnesses, widl, and Wine (whose
# development files give widl oaidl.idl, and whose libraries stdole2.tlb), without recommended packages.
set -euo pipefail
# clang and libclang-rt-14-dev (libFuzzer and clang's sanitizer runtimes, which clang does not pull in)
# are for the fuzz preset; g++ brings the address, undefined-behaviour and thread sanitizer runtimes.
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev clang-format tmux clang
          libclang-rt-14-dev)
install_options=()
if [ "${1:-}" = "--windows" ]; then
  packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 libwine-dev cmake ninja-build tmux)
  install_options=(--no-install-recommends)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${install_options[@]}" "${missing[@]}"
fi
