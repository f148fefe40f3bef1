// xmlc dump: checks a compiled document with the reader and prints it as
// XML that compiles back to the same bytes, as JSON, as a tree or chunk by chunk.
#include <expat.h>

#include <algorithm>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <xmlcompiler/format/document_reader.h>
#include "dump/compiled_document.h"
#include "platform/file_io.h"
#include "xmlc/command_line.h"
#include "xmlc/commands.h"

namespace oxa::xmlc {

extern const char kDumpHelp[] =
    "usage: xmlc dump [OPTION]... FILE\n"
    "\n"
    "Checks FILE as a compiled document and prints it (- reads standard input).\n"
    "      --format=FORMAT  xml     indented XML that compiles back to the same\n"
    "                               bytes (the default)\n"
    "                       json    the string table and the elements in document\n"
    "                               order, with parents, depths and attributes\n"
    "                       tree    the string table and a compact tree of indices\n"
    "                       chunks  every field with its offset, bytes and value\n"
    "  -o, --output=FILE    write to FILE instead of standard output\n"
    "  -h, --help           show this help\n"
    "\n"
    "On the first fault prints FILE: error: offset N: WHAT and exits with 1.\n";

namespace {

// Whether `text` parses as namespace-well-formed XML, as a compile would read it.
bool ParsesAsXml(const std::string& text, std::string* error) {
  const XML_Parser parser = XML_ParserCreateNS("UTF-8", ':');
  if (parser == nullptr) throw std::bad_alloc();
  constexpr std::size_t kPiece = std::size_t{1} << 30;  // XML_Parse takes an int length
  bool ok = true;
  for (std::size_t at = 0; ok;) {
    const std::size_t piece = std::min(kPiece, text.size() - at);
    const bool last = at + piece == text.size();
    ok = XML_Parse(parser, text.data() + at, static_cast<int>(piece), last) == XML_STATUS_OK;
    at += piece;
    if (last) break;
  }
  if (!ok) {
    *error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " in line " +
             std::to_string(XML_GetCurrentLineNumber(parser)) + " of the XML it would write";
  }
  XML_ParserFree(parser);
  return ok;
}

}  // namespace

int Dump(const std::vector<std::string>& args) {
  static const option kLong[] = {{"format", required_argument, nullptr, 'F'},
                                 {"output", required_argument, nullptr, 'o'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions("dump", args, "o:h", kLong, &line)) return status;
  std::string format = "xml", output;
  if (line.help) {
    std::cout << kDumpHelp;
    return kExitOk;
  }
  for (const auto& [c, value] : line.options) {
    if (c == 'F') format = value;
    if (c == 'o') output = value;
  }
  if (line.operands.empty()) return Usage("dump", "no file");
  if (line.operands.size() > 1) return Usage("dump", "dump takes one file");
  if (format != "xml" && format != "json" && format != "tree" && format != "chunks")
    return Usage("dump", "unknown format '" + format + "' (xml, json, tree or chunks)");
  const std::string& file = line.operands[0];
  if (!output.empty() && OutputIsInput(file, output)) return kExitFailed;
  std::vector<std::uint8_t> bytes;
  if (!ReadOrReport(file, &bytes)) return kExitFailed;
  std::string error;
  reader::Document doc;
  reader::ReadError fault;
  if (!reader::Document::Open(bytes.data(), bytes.size(), &doc, &fault)) {
    std::cerr << file << ": error: offset " << fault.offset << ": " << fault.what << '\n';
    if (!bytes.empty() &&
        (bytes[0] == '<' || bytes[0] == 0xEF || bytes[0] == 0xFE || bytes[0] == 0xFF))
      std::cerr << file << ": note: it looks like XML; did you mean 'xmlc compile'?\n";
    return kExitFailed;
  }
  std::ostringstream out;
  if (format == "xml") {
    if (!tools::WriteXml(doc, out, &error) || !ParsesAsXml(out.str(), &error)) {
      std::cerr << file << ": error: cannot be written as well-formed XML: " << error << '\n';
      return kExitFailed;
    }
  } else if (format == "json") {
    if (!tools::WriteJson(doc, out, &error)) {
      std::cerr << file << ": error: " << error << '\n';
      return kExitFailed;
    }
  } else if (format == "tree") {
    tools::WriteTree(doc, out);
  } else {
    tools::WriteChunks(doc, out);
  }
  return WriteOutput(output, out.str());
}

}  // namespace oxa::xmlc
