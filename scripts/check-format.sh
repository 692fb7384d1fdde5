#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format (with the committed .clang-format) makes
# of it. Fix with: git ls-files '*.cpp' '*.hpp' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.hpp')
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no tracked .cpp/.hpp files found (not a git checkout?)" >&2
  exit 1
fi
echo "check-format: $("$clang_format" --version | head -n1), ${#files[@]} files"
"$clang_format" --dry-run -Werror -- "${files[@]}"
