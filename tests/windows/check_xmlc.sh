#!/bin/bash
# xmlc.exe end to end under Wine: the golden documents in one batch give the
# Linux build's bytes, the dump round trip gives them again, a Japanese file
# name works, an output that is an input is refused in every spelling,
# Ctrl-C leaves no temporary file, a batch of 1,000 files compiles on two
# workers, an undeclared document in the ANSI code page is named so, the
# options as gcc reads them, and the encodings the help offers.
# Wine is the `wine` on PATH.
# Usage: check_xmlc.sh XMLC_EXE SOURCE_DIR OUT_DIR
set -u
xmlc=$1 src=$2 out=$3
golden=$src/tests/golden
rm -rf "$out" && mkdir -p "$out"
status=0
ok() { echo "ok: $*"; }
bad() { echo "FAILED: $*"; status=1; }
run() { wine "$xmlc" "$@"; }

# The golden documents and their compiled bytes, by name.
names=(worked list page root-only unaligned skin)
source_of() { if [ "$1" = skin ]; then echo "$src/examples/skin.xml"; else echo "$golden/$1.xml"; fi; }

# 1. One batch of every golden document, named by a wildcard that xmlc.exe
# expands itself, as cmd.exe and PowerShell leave it to the program. The
# system matches short names too, so in\*.xml must not take stale.xmlc.
mkdir -p "$out/golden/in"
for n in "${names[@]}"; do cp "$(source_of "$n")" "$out/golden/in/$n.xml"; done
echo "not XML" > "$out/golden/in/stale.xmlc"
(cd "$out/golden" && run compile -j 2 -d compiled 'in\*.xml') || bad "the golden batch failed"
for n in "${names[@]}"; do
  if cmp -s "$out/golden/compiled/$n.xmlc" "$golden/$n.xmlc"; then ok "same bytes: $n.xmlc"; else bad "different bytes: $n.xmlc"; fi
done

# 2. Each compiled document dumped as XML and compiled back.
mkdir -p "$out/dump"
for n in "${names[@]}"; do
  (cd "$out/dump" && run dump "$golden/$n.xmlc" -o "$n.xml") || bad "dump of $n.xmlc failed"
done
(cd "$out/dump" && run compile -d again "${names[@]/%/.xml}") || bad "compiling the dumps failed"
for n in "${names[@]}"; do
  if cmp -s "$out/dump/again/$n.xmlc" "$golden/$n.xmlc"; then ok "dump round trip: $n.xmlc"; else bad "dump round trip changed $n.xmlc"; fi
done

# 3. A file name outside the ANSI code page. Wine takes names from the Unix
# side in a UTF-8 locale; the C.UTF-8 locale is on every machine.
mkdir -p "$out/names"
cp "$golden/worked.xml" "$out/names/窓.xml"
(cd "$out/names" && LC_ALL=C.UTF-8 run compile 窓.xml -o 窓.xmlc) || bad "compiling 窓.xml failed"
if cmp -s "$out/names/窓.xmlc" "$golden/worked.xmlc"; then ok "窓.xml compiles to 窓.xmlc"; else bad "窓.xmlc is missing or different"; fi

# 4. An output that is the input, by name, through .\, by a hard link and in
# another case: refused before any work, the input untouched.
mkdir -p "$out/same"
cp "$golden/worked.xml" "$out/same/a.xml"
ln "$out/same/a.xml" "$out/same/hard.xmlc"
for target in a.xml '.\a.xml' hard.xmlc A.XML; do
  (cd "$out/same" && run compile a.xml -o "$target") 2> "$out/same/err" > /dev/null
  code=$?
  if [ $code -eq 1 ] && grep -qF "input file 'a.xml' is the same as output file '$target'" "$out/same/err" &&
     cmp -s "$out/same/a.xml" "$golden/worked.xml"; then
    ok "refused: -o $target"
  else
    bad "-o $target: exit $code, $(head -c 300 "$out/same/err")"
  fi
done

# 5. Ctrl-C while the output's temporary file is open. XMLC_TEST_HOLD_WRITE
# makes xmlc say when it holds the file and wait there; Wine turns SIGINT
# into CTRL_C_EVENT. The wait for the line has a bound far past any machine.
mkdir -p "$out/interrupt"
cp "$golden/worked.xml" "$out/interrupt/in.xml"
(cd "$out/interrupt" && XMLC_TEST_HOLD_WRITE=1 exec wine "$xmlc" compile in.xml -o out.xmlc 2> ../interrupt.err) &
pid=$!
for _ in $(seq 600); do
  grep -q "holding the write" "$out/interrupt.err" 2> /dev/null && break
  kill -0 $pid 2> /dev/null || break
  sleep 1
done
if grep -q "holding the write" "$out/interrupt.err"; then
  kill -INT $pid
  wait $pid
  left=$(cd "$out/interrupt" && ls -A | grep -v '^in\.xml$' | tr '\n' ' ')
  if [ -z "$left" ]; then ok "Ctrl-C left no temporary file"; else bad "Ctrl-C left: $left"; fi
else
  kill -KILL $pid 2> /dev/null
  bad "xmlc never held its write: $(cat "$out/interrupt.err")"
fi

# 6. A batch of 1,000 files on two workers, each compiled to its golden bytes.
mkdir -p "$out/batch/in"
inputs=()
for i in $(seq -w 1 1000); do
  n=${names[$((10#$i % ${#names[@]}))]}
  cp "$(source_of "$n")" "$out/batch/in/$i-$n.xml"
  inputs+=("in/$i-$n.xml")
done
(cd "$out/batch" && run compile -j 2 -d out "${inputs[@]}") 2> "$out/batch/err" ||
  bad "the batch of 1,000 failed: $(tail -n 3 "$out/batch/err")"
same=0
for i in $(seq -w 1 1000); do
  n=${names[$((10#$i % ${#names[@]}))]}
  cmp -s "$out/batch/out/$i-$n.xmlc" "$golden/$n.xmlc" && same=$((same + 1))
done
if [ $same -eq 1000 ]; then ok "1,000 files on two workers: $(tail -n 1 "$out/batch/err")"; else bad "$same of 1,000 outputs right"; fi

# 7. An undeclared document in the ANSI code page: the code page is clearly
# the answer, and its declaration is the fix-it.
mkdir -p "$out/ansi"
if [ "${OXA_EXPECT_DOUBLE_BYTE:-0}" = 1 ]; then
  printf '<skin>\n  <label text="\223\372\226\173"/>\n</skin>\n' > "$out/ansi/a.xml"  # Shift_JIS
  page=Shift_JIS
else
  printf '<skin>\n  <label text="Caf\351"/>\n</skin>\n' > "$out/ansi/a.xml"  # windows-1252
  page=windows-1252
fi
(cd "$out/ansi" && run check a.xml) 2> "$out/ansi/err" > /dev/null
declaration="<?xml version=\"1.0\" encoding=\"$page\"?>\\n"
if grep -q "^a.xml:2:[0-9]*: error: .*; the document is written in $page" "$out/ansi/err" &&
   grep -qF "a.xml:1:1: note: insert \"$declaration\" here" "$out/ansi/err"; then
  ok "an undeclared document in the ANSI code page is named $page, with its declaration"
else
  bad "an undeclared document in the ANSI code page: $(tr -d '\r' < "$out/ansi/err")"
fi

# 8. The options as gcc reads them, and as gcc writes: -Werror=KIND and
# -Wno-error=KIND, colours when asked (never on its own into a pipe), each
# input to NAME.xmlc in the current folder without -o, and --plugin=NAME
# from the current folder.
mkdir -p "$out/options"
printf '<r>text<insertlayout layoutid="M"/></r>' > "$out/options/w.xml"
(cd "$out/options" && run compile -Werror=unknown-layout w.xml) 2> "$out/options/err" > /dev/null
code=$?
if [ $code -eq 1 ] && grep -qF "[-Werror=unknown-layout]" "$out/options/err" &&
   grep -qF "warning: text is dropped" "$out/options/err" && [ ! -e "$out/options/w.xmlc" ]; then
  ok "-Werror=unknown-layout makes that warning an error, and writes nothing"
else
  bad "-Werror=unknown-layout: exit $code, $(tr -d '\r' < "$out/options/err")"
fi
(cd "$out/options" && run compile -Werror -Wno-error=unknown-layout -Wno-text-dropped w.xml) \
  2> "$out/options/err" > /dev/null
code=$?
if [ $code -eq 0 ] && grep -qF "[-Wunknown-layout]" "$out/options/err" && [ -e "$out/options/w.xmlc" ]; then
  ok "-Werror -Wno-error=unknown-layout leaves it a warning; w.xmlc in the current folder"
else
  bad "-Werror -Wno-error=unknown-layout: exit $code, $(tr -d '\r' < "$out/options/err")"
fi
(cd "$out/options" && run check w.xml) 2> "$out/options/plain" > /dev/null
(cd "$out/options" && run check -fdiagnostics-color=always w.xml) 2> "$out/options/colored" > /dev/null
if ! grep -q $'\033' "$out/options/plain" && grep -qF $'\033[01;35m\033[Kwarning:' "$out/options/colored"; then
  ok "colours when asked, none into a pipe"
else
  bad "colours: $(cat -v "$out/options/colored" | head -n 2)"
fi
cp "$(dirname "$xmlc")/deva3201.dll" "$out/options/mine.dll"
(cd "$out/options" && run check --plugin=mine.dll w.xml) 2> "$out/options/err" > /dev/null
code=$?
if [ $code -eq 0 ]; then ok "--plugin=mine.dll is found in the current folder"; else bad "--plugin=mine.dll: exit $code, $(tr -d '\r' < "$out/options/err")"; fi
# kernel32.dll is in the system folder, where a search would find it.
(cd "$out/options" && run info --plugin=kernel32.dll) 2> "$out/options/err" > /dev/null
if grep -q "cannot load the plug-in" "$out/options/err"; then
  ok "--plugin=kernel32.dll is not looked for along the search path"
else
  bad "--plugin=kernel32.dll: $(tr -d '\r' < "$out/options/err")"
fi

# 9. The help offers only the encodings Windows reads: no EUC-JP, no iconv,
# and every one it names compiles a document.
help=$(run compile --help | tr -d '\r')
if echo "$help" | grep -qE 'EUC-JP|iconv'; then
  bad "compile --help promises what Windows cannot read: $(echo "$help" | grep -E 'EUC-JP|iconv')"
else
  ok "compile --help offers no encoding Windows cannot read"
fi
mkdir -p "$out/encodings"
for name in ASCII IBM855 x-mac-cyrillic TIS-620 windows-874; do
  printf '<?xml version="1.0" encoding="%s"?>\n<r/>\n' "$name" > "$out/encodings/$name.xml"
done
if (cd "$out/encodings" && run check ./*.xml > /dev/null 2>&1); then
  ok "ASCII, IBM855, MacCyrillic, TIS-620 and windows-874 are read"
else
  bad "an encoding the help offers is refused: $(cd "$out/encodings" && run check ./*.xml 2>&1 | tr -d '\r' | head -n 3)"
fi

exit $status
