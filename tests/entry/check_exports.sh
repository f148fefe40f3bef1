#!/bin/sh
# Checks that a module's dynamic symbol table defines exactly the three exports.
set -eu
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')
expected="OxaCreateInstance OxaShutdown SetDLLAccessPath "
if [ "$actual" != "$expected" ]; then
  echo "exported: $actual"
  echo "expected: $expected"
  exit 1
fi
echo "exports: $actual"
