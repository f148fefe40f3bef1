#!/bin/sh
# Checks the DLL's export table (names, ordinals, library name), its version
# resource, and that it imports only KERNEL32, USER32 and msvcrt: no MinGW
# runtime. Reads the file only, so it needs no Wine.
# Usage: check_dll.sh DLL VERSION   (VERSION: the four fields, 0.1.0.585)
set -eu
dll=$1 version=$2
fields=$(echo "$version" | sed 's/\./, /g')
dump=$(i686-w64-mingw32-objdump -p "$dll")
echo "$dump" | grep -q "^Name.*deva3201.dll" || { echo "library name is not deva3201.dll"; exit 1; }
echo "$dump" | grep -qE "^Ordinal Base[[:space:]]+1$" || { echo "ordinal base is not 1"; exit 1; }
# The name table lists each name with its ordinal index: ordinal = index + base.
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '\[ *[0-9]+\]')
echo "$exports"
for pair in "0 OxaCreateInstance" "1 OxaShutdown" "2 SetDLLAccessPath"; do
  set -- $pair
  echo "$exports" | grep -qE "\[ *$1\] $2\$" || { echo "ordinal $(($1 + 1)) is not $2"; exit 1; }
done
[ "$(echo "$exports" | wc -l)" -eq 3 ] || { echo "more than three exports"; exit 1; }
imports=$(echo "$dump" | grep "DLL Name:" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
echo "imports: $imports"
[ "$imports" = "kernel32.dll msvcrt.dll user32.dll " ] ||
  { echo "imports are not exactly KERNEL32, USER32 and msvcrt"; exit 1; }

# The version resource, decompiled to resource-script text.
resources=$(i686-w64-mingw32-windres -i "$dll" -O rc)
for line in "FILEVERSION $fields" "PRODUCTVERSION $fields" \
            "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
            'VALUE "InternalName", "XMLCompiler"' 'VALUE "OriginalFilename", "xmlcompiler.dll"'; do
  echo "$resources" | grep -qF "$line" || { echo "version resource lacks: $line"; exit 1; }
done
echo "version resource: $version, XMLCompiler, xmlcompiler.dll"
