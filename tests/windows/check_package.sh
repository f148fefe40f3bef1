#!/bin/bash
# The Windows zip as an integrator receives it: made by cpack from this
# build, unpacked into an empty folder outside the build, it holds what the
# README lists; a consumer project cross-built against it with MinGW finds the
# package, compiles its layouts with oxa_compile_layouts (xmlc.exe under
# Wine), and its program, run under Wine, prints what the Linux consumer
# prints; and the unpacked xmlc.exe compiles the golden documents to their
# bytes. Wine is the `wine` on PATH.
# Usage: check_package.sh CPACK BUILD_DIR SOURCE_DIR OUT_DIR VERSION
set -u
cpack=$1 build=$2 src=$3 out=$4 version=$5
rm -rf "$out" && mkdir -p "$out/package"
# The integrator's side stands outside the build: the unpacked zip and the consumer's build.
outside=$(mktemp -d)
trap 'WINEPREFIX="$outside/wineprefix" wineserver -k 2> /dev/null; rm -rf "$outside"' EXIT
mkdir -p "$outside/unpacked"
status=0
ok() { echo "ok: $*"; }
bad() { echo "FAILED: $*"; status=1; }
fail() { echo "FAILED: $*"; exit 1; }

name=xmlcompiler-$version-win32
"$cpack" --config "$build/CPackConfig.cmake" -B "$out/package" > "$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; fail "cpack failed"; }
zip=$out/package/$name.zip
[ -f "$zip" ] || fail "cpack made no $name.zip"
(cd "$outside/unpacked" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
[ "$(ls "$outside/unpacked")" = "$name" ] || fail "the zip holds more than the folder $name/: $(ls "$outside/unpacked")"
root=$outside/unpacked/$name

# 1. What it holds.
for f in bin/deva3201.dll bin/xmlc.exe include/xmlcompiler/format/document_reader.h \
         include/xmlcompiler/host/plugin_host.h include/expat.h include/expat_external.h \
         lib/liboxa_host.a lib/liboxa_reader.a lib/libexpat.a lib/cmake/OxaHost/OxaHostConfig.cmake \
         lib/cmake/OxaHost/OxaHostLayouts.cmake README.md LICENSE xmlc.txt THIRD-PARTY-NOTICES.txt \
         docs/format.md docs/hosting.md docs/encodings.md examples/host/compile_layout.cpp \
         examples/host/CMakeLists.txt examples/skin.xml include/xmlcompiler/deva3201.h; do
  [ -s "$root/$f" ] || bad "the zip has no $f"
done
# Every relative link of the README and the documents resolves in the zip.
for doc in "$root"/README.md "$root"/docs/*.md; do
  for link in $(grep -o '](\([^)#:]*\))' "$doc" | sed 's/^](\(.*\))$/\1/'); do
    [ -e "$(dirname "$doc")/$link" ] || bad "$(basename "$doc") links $link, which the zip lacks"
  done
done
cmp -s "$root/bin/deva3201.dll" "$build/release/deva3201.dll" && ok "bin/deva3201.dll is the stripped release DLL" ||
  bad "bin/deva3201.dll is not release/deva3201.dll"
! find "$root" -name '*.debug' | grep -q . || bad "the zip holds a .debug file"
for notice in "expat" "winpthreads" "GCC RUNTIME LIBRARY EXCEPTION"; do
  grep -q "$notice" "$root/THIRD-PARTY-NOTICES.txt" || bad "the notices do not name $notice"
done
grep -q "^SYNOPSIS" "$root/xmlc.txt" || bad "xmlc.txt is not the manual"
# No folder of the building machine in the programs and libraries: not the
# sources, the build, nor where cpack staged the install.
for f in "$root"/bin/*.exe "$root"/bin/*.dll "$root"/lib/*.a; do
  for folder in "$src" "$build" "$out"; do
    if strings "$f" | grep -qF "$folder"; then
      bad "$(basename "$f") holds the path $folder: $(strings "$f" | grep -F "$folder" | head -n 1)"
    fi
  done
done

# 2. A consumer project, cross-built against the unpacked package as the
# README says (OxaHost_DIR), with a toolchain file like an integrator's:
# package searches confined to the toolchain's root, no -static.
consumer=$outside/consumer
cmake -S "$src/tests/install" -B "$consumer" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$src/tests/windows/integrator-toolchain.cmake" \
      -DOxaHost_DIR="$root/lib/cmake/OxaHost" > "$out/consumer.log" 2>&1 ||
  { cat "$out/consumer.log"; fail "configuring the consumer against the zip failed"; }
cmake --build "$consumer" > "$out/consumer.log" 2>&1 ||
  { cat "$out/consumer.log"; fail "building the consumer against the zip failed"; }
[ "$(grep -c "Compiling layout" "$out/consumer.log")" = 2 ] || bad "the build did not compile two layouts"
# It needs no MinGW runtime DLL: only Windows' own, and the module beside it.
imports=$(i686-w64-mingw32-objdump -p "$consumer/consumer.exe" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')
if echo "$imports" | grep -qiE 'lib[a-z_+0-9-]*\.dll'; then
  bad "the consumer imports a runtime DLL: $imports"
else
  ok "the consumer imports only system DLLs: $imports"
fi
[ -f "$consumer/deva3201.dll" ] && ok "oxa_deploy_plugin put deva3201.dll beside the consumer" ||
  bad "no deva3201.dll beside the consumer"
# Run where no MinGW is: a fresh Wine prefix, nothing on WINEPATH.
export WINEPREFIX="$outside/wineprefix" WINEDEBUG=-all
wineboot --init > "$out/wineboot.log" 2>&1 || { cat "$out/wineboot.log"; fail "no fresh Wine prefix"; }
(cd "$consumer" && WINEPATH= wine ./consumer.exe) 2>&1 | tr -d '\r' > "$out/consumer.out"
if diff "$src/tests/install/consumer.expected" "$out/consumer.out"; then
  ok "the consumer under Wine prints what the Linux consumer prints"
else
  bad "the consumer under Wine printed something else"
fi

# 3. The hosting example of docs/hosting.md, as the zip ships it, built the
# same way and run on the zip's example layout.
example=$outside/example
cmake -S "$root/examples/host" -B "$example" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$src/tests/windows/integrator-toolchain.cmake" \
      -DOxaHost_DIR="$root/lib/cmake/OxaHost" > "$out/example.log" 2>&1 &&
  cmake --build "$example" >> "$out/example.log" 2>&1 ||
  { cat "$out/example.log"; fail "building the hosting example against the zip failed"; }
(cd "$root/examples" && WINEPATH= wine "$example/compile_layout.exe" skin.xml) 2>&1 | tr -d '\r' > "$out/example.out"
if grep -qx "skin.xml: [0-9]* bytes, root <skin>, [0-9]* elements" "$out/example.out"; then
  ok "the hosting example compiles skin.xml in-process: $(cat "$out/example.out")"
else
  bad "the hosting example printed: $(cat "$out/example.out")"
fi

# 4. The unpacked xmlc.exe on the golden documents.
golden=$src/tests/golden
names=(worked list page root-only unaligned)
mkdir -p "$out/golden"
(cd "$golden" && wine "$root/bin/xmlc.exe" compile -d "$out/golden/compiled" "${names[@]/%/.xml}") > "$out/golden.log" 2>&1 ||
  { cat "$out/golden.log"; bad "the unpacked xmlc.exe failed on the golden documents"; }
for n in "${names[@]}"; do
  cmp -s "$out/golden/compiled/$n.xmlc" "$golden/$n.xmlc" && ok "unpacked xmlc.exe: $n.xmlc" || bad "unpacked xmlc.exe: $n.xmlc differs"
done

[ $status -eq 0 ] && echo "windows package: all checks passed"
exit $status
