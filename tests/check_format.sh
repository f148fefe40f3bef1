#!/bin/sh
# Checks that every C++ file of the project follows .clang-format.
set -eu
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "all C++ files follow .clang-format"
