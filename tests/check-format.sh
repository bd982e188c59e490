#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of
# it (the style is .clang-format at the top). Run from the top of the tree.
set -eu
clang_format=$1
files=$(git ls-files -co --exclude-standard -- '*.cpp' '*.h' 2>/dev/null ||
  find bridge encoder decoder tests bench -name '*.cpp' -o -name '*.h')
# Vendored headers (cmake/windows, third_party) keep their own style.
files=$(echo "$files" | grep -v -e '^cmake/' -e '^third_party/')
echo "$files" | xargs "$clang_format" --dry-run -Werror
echo "clang-format: $(echo "$files" | wc -w) files formatted"
