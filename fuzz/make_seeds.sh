#!/bin/sh
# Writes seed documents for the fuzz targets that parse XML into DIR: each
# encoding the host reads, namespaces with the directive, a DTD with internal
# entities and a defaulted attribute, directives that find, miss and nest,
# and a few broken documents.
# Usage: fuzz/make_seeds.sh DIR
set -eu
dir=$1
mkdir -p "$dir"
seed() { printf "$2" > "$dir/$1"; }
seed directives.xml '<r><l id="a"><b x="1"/></l><p><insertlayout layoutid="a"/><insertlayout layoutid="A"/><insertlayout/></p><InsertLayout layoutid="a"/></r>'
seed namespaces.xml '<s xmlns="urn:skin" xmlns:c="urn:oxa:xmlcompiler"><l id="t"><b/></l><c:insertlayout layoutid="t"/><insertlayout layoutid="t"/><c:x c:layoutid="t"/></s>'
seed dtd.xml "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY e '<b id=\"x\"/>'><!ATTLIST r mode CDATA \"auto\">]>\n<r>&e;<insertlayout layoutid=\"x\"/></r>"
seed utf16le.xml '\377\376<\000r\000 \000a\000=\000"\000\351\000"\000/\000>\000'
seed windows-1252.xml '<?xml version="1.0" encoding="windows-1252"?>\n<r t="\223quoted\224 \200 \201"/>'
seed shift_jis.xml '<?xml version="1.0" encoding="Shift_JIS"?>\n<r path="C:\\skins" t="\223\372\226\173\201\140"/>'
seed gbk.xml '<?xml version="1.0" encoding="GBK"?>\n<r t="\304\343\272\303"/>'
seed euc-jp.xml '<?xml version="1.0" encoding="EUC-JP"?>\n<r t="\306\374\313\334\217\260\241"/>'
seed koi8-u.xml '<?xml version="1.0" encoding="KOI8-U"?>\n<r t="\256\276"/>'
seed undeclared.xml '<r t="caf\351"/>'
seed mismatched.xml '<r>\n  <panel>\n    <button>\n  </panel>\n</r>'
seed unclosed.xml '<skin>\n  <a v="1\n  <b/>\n'
seed entities.xml '<r a="&copy; Rock & Roll" b="1 < 2"/>'
seed after-root.xml '<r/>text<second/>'
seed duplicate.xml '<r a="1" a="2" p:b="3"/>'
