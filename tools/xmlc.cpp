// xmlc: compiles layout documents through the deva3201 plug-in, decodes
// compiled documents, and shows what the plug-in says of itself.
//
// Every command reads its options with getopt_long (`-j2`, `-j 2`,
// `--jobs=2`, `--`), answers a usage error with one line and a hint, names the
// file and the cause of every failure, and never overwrites an input or
// leaves a partial output.
#include <expat.h>

#include <algorithm>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "file_io.h"
#include "platform.h"
#include "suggestions.h"

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

constexpr char kHelpHelp[] =
    "usage: xmlc help [COMMAND]\n"
    "\n"
    "Shows what xmlc's commands are, or COMMAND's options: xmlc help COMMAND is\n"
    "xmlc COMMAND --help.\n";

const std::vector<std::string> kCommands = {"compile", "check", "dump", "info", "record", "help"};

// A first argument that is no command: an option where the command belongs
// (said with the line reordered, when a command comes later), or a slip.
int NoCommand(const std::string& given, const std::vector<std::string>& args) {
  if (given.size() > 1 && given[0] == '-') {
    for (const std::string& arg : args) {
      if (std::find(kCommands.begin(), kCommands.end(), arg) == kCommands.end()) continue;
      std::string line = "xmlc " + arg + " " + given;
      for (const std::string& other : args)
        if (&other != &arg) line += " " + other;
      return Usage("", "the command comes first, then its options: " + line);
    }
    return Usage("",
                 "unknown option " + given + "; the command comes first: xmlc COMMAND [OPTION]...");
  }
  const std::string closest = tools::Closest(given, kCommands);
  return Usage("", "no command '" + given + "'" +
                       (closest.empty() ? "" : "; did you mean '" + closest + "'?"));
}

int Help(const std::vector<std::string>& args) {
  if (args.empty()) return WriteOutput("", kMainHelp);
  const std::string& command = args[0];
  if (args.size() > 1)
    return Usage("help", "help takes one command, not " + std::to_string(args.size()));
  if (command == "compile") return WriteOutput("", CompileHelp());
  if (command == "check") return WriteOutput("", CheckHelp());
  if (command == "dump") return WriteOutput("", kDumpHelp);
  if (command == "info") return WriteOutput("", kInfoHelp);
  if (command == "record") return WriteOutput("", kRecordHelp);
  if (command == "help" || command == "--help" || command == "-h")
    return WriteOutput("", kHelpHelp);
  return NoCommand(command, {});
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
  return NoCommand(command, args);
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
