#!/bin/sh
# Installs the build into a fresh prefix, builds a consumer of the OxaHost
# package against it, and runs it on the installed module.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" > /dev/null
cmake -S "$(dirname "$0")" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/consumer" > /dev/null
"$work/consumer/consumer" "$work/prefix/lib/xmlcompiler/deva3201.so"
"$work/prefix/bin/xmlc" info | grep -q "package:     xmlcompiler"
