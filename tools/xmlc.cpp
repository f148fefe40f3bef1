// xmlc: compiles layout documents through the deva3201 plug-in, decodes
// compiled documents, and shows what the plug-in says of itself.
//
// Every command reads its options with getopt_long (`-j2`, `-j 2`,
// `--jobs=2`, `--`), answers a usage error with one line and a hint, names the
// file and the cause of every failure, and never overwrites an input or
// leaves a partial output.
#include <expat.h>

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "file_io.h"
#include "platform.h"

namespace oxa::xmlc {
namespace {

constexpr char kMainHelp[] =
    "usage: xmlc COMMAND [OPTION]... [FILE]...\n"
    "\n"
    "commands:\n"
    "  compile   compile XML layout documents into compiled documents\n"
    "  check     compile and report, writing nothing\n"
    "  dump      check a compiled document and print it\n"
    "  info      show what the plug-in says of itself\n"
    "  record    record the parser's element events of a document, for replay\n"
    "  help      show a command's help: xmlc help COMMAND\n"
    "\n"
    "xmlc COMMAND --help shows a command's options; xmlc --version the versions.\n";

int Help(const std::vector<std::string>& args) {
  if (args.empty()) return WriteOutput("", kMainHelp);
  const std::string& command = args[0];
  if (command == "compile") return WriteOutput("", kCompileHelp);
  if (command == "check") return WriteOutput("", kCheckHelp);
  if (command == "dump") return WriteOutput("", kDumpHelp);
  if (command == "info") return WriteOutput("", kInfoHelp);
  if (command == "record") return WriteOutput("", kRecordHelp);
  return Usage("", "no command '" + command + "'");
}

int Run(const std::string& command, const std::vector<std::string>& args, const char* argv0) {
  if (command == "--help" || command == "-h" || command == "help") return Help(args);
  if (command == "--version") {
    return WriteOutput("", std::string("xmlc ") + kVersion + " (" + XML_ExpatVersion() + ")\n");
  }
  if (command == "compile") return Compile(args, argv0);
  if (command == "check") return Check(args, argv0);
  if (command == "dump") return Dump(args);
  if (command == "info") return Info(args, argv0);
  if (command == "record") return Record(args);
  return Usage("", "no command '" + command + "'");
}

}  // namespace
}  // namespace oxa::xmlc

int main(int argc, char** argv) {
  using namespace oxa::xmlc;
  std::vector<std::string> args = platform::Start(argc, argv);
  if (args.empty()) return Usage("", "no command");
  const std::string command = args[0];
  args.erase(args.begin());
  try {
    return Run(command, args, argv[0]);
  } catch (const std::bad_alloc&) {
    std::cerr << "xmlc: error: out of memory\n";
  } catch (const std::exception&) {
    std::cerr << "xmlc: error: internal failure in '" << command << "'\n";
  }
  return kExitFailed;
}
