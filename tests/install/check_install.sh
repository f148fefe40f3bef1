#!/bin/sh
# Does what an integrator does with the package: installs the build into a
# fresh prefix, builds a C++17 host against it that compiles its layouts with
# oxa_compile_layouts and reads them back with OxaHost::reader, and runs it;
# checks that layouts are compiled again only when they change and that a
# broken one fails the build with its position; builds a reader program from
# the pkg-config file; checks the man page, completion and licence are there;
# then builds the same host against the source tree (add_subdirectory),
# which installs nothing of this project.
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_install: $*" >&2; exit 1; }

# The consumer project is built from a copy, since the check touches its layouts.
project=$work/project
cp -R "$here" "$project"

cmake --install "$build" --prefix "$work/prefix" > /dev/null
prefix=$work/prefix
for f in bin/xmlc lib/xmlcompiler/deva3201.so share/man/man1/xmlc.1 \
         share/bash-completion/completions/xmlc share/doc/xmlcompiler/LICENSE \
         share/doc/xmlcompiler/README.md share/doc/xmlcompiler/docs/format.md \
         include/xmlcompiler/format/document_reader.h \
         include/xmlcompiler/com/unknown.h; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done
! grep -rq '#include "' "$prefix/include" || fail "an installed header includes by a relative name"
# Every relative link of the installed README and documents resolves.
for doc in "$prefix"/share/doc/xmlcompiler/README.md "$prefix"/share/doc/xmlcompiler/docs/*.md; do
  for link in $(grep -o '](\([^)#:]*\))' "$doc" | sed 's/^](\(.*\))$/\1/'); do
    [ -e "$(dirname "$doc")/$link" ] || fail "$(basename "$doc") links $link, which the install lacks"
  done
done
"$prefix/bin/xmlc" info | grep -q "package:     xmlcompiler" || fail "the installed xmlc does not find its module"

# The hosting example, as installed, built against the package and run.
example=$work/example
cmake -S "$prefix/share/doc/xmlcompiler/examples/host" -B "$example" -G Ninja \
      -DCMAKE_PREFIX_PATH="$prefix" > "$work/log" 2>&1 && cmake --build "$example" >> "$work/log" 2>&1 ||
  { cat "$work/log"; fail "building the hosting example failed"; }
(cd "$prefix/share/doc/xmlcompiler/examples" && "$example/compile_layout" skin.xml) > "$work/example.out" ||
  fail "the hosting example failed: $(cat "$work/example.out")"
grep -qx "skin.xml: [0-9]* bytes, root <skin>, [0-9]* elements" "$work/example.out" ||
  fail "the hosting example printed: $(cat "$work/example.out")"

# The installed package.
consumer=$work/consumer
cmake -S "$project" -B "$consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" > "$work/log" 2>&1 ||
  { cat "$work/log"; fail "configuring against the installed package failed"; }
cmake --build "$consumer" > "$work/log" 2>&1 || { cat "$work/log"; fail "building the consumer failed"; }
"$consumer/consumer" > "$work/consumer.out" || fail "the consumer failed"
diff "$here/consumer.expected" "$work/consumer.out" || fail "the consumer printed something else"
cmake --build "$consumer" | grep -q "no work to do" || fail "a second build is not empty"
touch "$project/layouts/settings.layout.xml"
cmake --build "$consumer" > "$work/log"
[ "$(grep -c "Compiling layout" "$work/log")" = 1 ] || { cat "$work/log"; fail "a touched layout is not compiled alone"; }

cmake -S "$project" -B "$consumer" -DCONSUMER_BROKEN_LAYOUT=ON > /dev/null
if cmake --build "$consumer" > "$work/log" 2>&1; then fail "a broken layout does not fail the build"; fi
grep -q "^$project/layouts/broken.xml:4:1: error: " "$work/log" ||
  { cat "$work/log"; fail "the build log does not give the broken layout's position"; }
[ ! -e "$consumer/layouts/broken.xmlc" ] || fail "a broken layout left an output"

# The pkg-config file.
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name oxa-reader.pc)")
export PKG_CONFIG_PATH
cat > "$work/read.cpp" <<'CPP'
#include <xmlcompiler/format/document_reader.h>
int main() {
  oxa::reader::Document doc;
  oxa::reader::ReadError error;
  return oxa::reader::Document::Open("", 0, &doc, &error) ? 1 : 0;
}
CPP
# shellcheck disable=SC2046
c++ -std=c++20 -o "$work/read" "$work/read.cpp" $(pkg-config --cflags --libs oxa-reader) ||
  fail "a program cannot be built from oxa-reader.pc"
"$work/read"
[ -e "$(pkg-config --variable=plugin oxa-host)" ] || fail "oxa-host.pc does not name the module"

# The source tree, as a subdirectory.
intree=$work/intree
cmake -S "$project" -B "$intree" -G Ninja -DOXA_SOURCE_DIR="$source_dir" > "$work/log" 2>&1 ||
  { cat "$work/log"; fail "configuring with the source tree failed"; }
cmake --build "$intree" > "$work/log" 2>&1 || { cat "$work/log"; fail "building with the source tree failed"; }
"$intree/consumer"
# A project that adds this one installs nothing of it unless it asks (OXA_INSTALL).
cmake --install "$intree" --prefix "$work/intree-prefix" > "$work/log" 2>&1 ||
  { cat "$work/log"; fail "installing the project that adds the source tree failed"; }
[ ! -e "$work/intree-prefix" ] || [ -z "$(ls -A "$work/intree-prefix")" ] ||
  fail "a project that adds the source tree installs: $(cd "$work/intree-prefix" && find . -type f | head -n 3)"
