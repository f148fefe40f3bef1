// xmlc record: the element events the reference host's parser delivers for
// a document, written for hosts that replay them without an XML parser.
#include <iostream>
#include <string>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/host/event_recording.h>
#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/host_objects.h>
#include "platform/file_io.h"
#include "xmlc/command_line.h"
#include "xmlc/commands.h"

namespace oxa::xmlc {

extern const char kRecordHelp[] =
    "usage: xmlc record [OPTION]... INPUT -o EVENTS\n"
    "\n"
    "Parses INPUT with the reference host's parser, as a compile would, and writes\n"
    "the element events it delivers to EVENTS, for hosts that replay them without\n"
    "an XML parser (the Windows test host).\n"
    "  -o, --output=EVENTS  the recorded events\n"
    "  -h, --help           show this help\n";

int Record(const std::vector<std::string>& args) {
  static const option kLong[] = {{"output", required_argument, nullptr, 'o'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions("record", args, "o:h", kLong, &line)) return status;
  std::string output;
  if (line.help) {
    std::cout << kRecordHelp;
    return kExitOk;
  }
  for (const auto& [c, value] : line.options) {
    output = value;
  }
  if (line.operands.size() != 1 || output.empty())
    return Usage("record", "give one INPUT and -o EVENTS");
  const std::string& input = line.operands[0];
  if (OutputIsInput(input, output)) return kExitFailed;
  std::vector<std::uint8_t> document;
  if (!ReadOrReport(input, &document)) return kExitFailed;
  std::string error;
  host::ParseReport report;
  host::EventRecorder recorder;
  auto parser = host::ExpatParser::Create(&report);
  parser->Prepare(&recorder, &recorder, "UTF-8", ':');
  ComPtr<host::HostBuffer> buffer = host::HostBuffer::Create();
  buffer->Bytes().swap(document);
  if (Failed(parser->Feed(buffer.Get(), 1))) {
    std::cerr << input << ":" << report.line << ":" << report.column
              << ": error: " << report.message << '\n';
    return kExitFailed;
  }
  if (!WriteAtomically(output, recorder.Bytes().data(), recorder.Bytes().size(), &error)) {
    std::cerr << output << ": error: cannot write: " << error << '\n';
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace oxa::xmlc
