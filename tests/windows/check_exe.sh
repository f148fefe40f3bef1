#!/bin/sh
# Checks that xmlc.exe imports only Windows' own DLLs (it loads deva3201.dll
# itself, at run time) and carries its version resource, the DLL's version.
# Reads the file only, so it needs no Wine.
# Usage: check_exe.sh XMLC_EXE VERSION   (VERSION: the four fields, 0.1.0.585)
set -eu
exe=$1 version=$2
imports=$(i686-w64-mingw32-objdump -p "$exe" | grep "DLL Name:" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
echo "imports: $imports"
[ "$imports" = "kernel32.dll msvcrt.dll shell32.dll " ] ||
  { echo "imports are not exactly KERNEL32, msvcrt and SHELL32"; exit 1; }
resources=$(i686-w64-mingw32-windres -i "$exe" -O rc)
fields=$(echo "$version" | sed 's/\./, /g')
for line in "FILEVERSION $fields" \
            'VALUE "OriginalFilename", "xmlc.exe"' "VALUE \"FileVersion\", \"$version\"" \
            "VALUE \"ProductVersion\", \"$version\"" 'VALUE "InternalName", "xmlc"'; do
  echo "$resources" | grep -qF "$line" || { echo "version resource lacks: $line"; exit 1; }
done
echo "version resource: $version, xmlc.exe"
