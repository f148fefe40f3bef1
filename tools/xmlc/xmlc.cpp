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

#include "diagnostics/suggestions.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "xmlc/command_line.h"
#include "xmlc/commands.h"

namespace oxa::xmlc {
namespace {

constexpr char kHelpHelp[] =
    "usage: xmlc help [COMMAND]\n"
    "\n"
    "Shows what xmlc's commands are, or COMMAND's options: xmlc help COMMAND is\n"
    "xmlc COMMAND --help.\n";

int Help(const std::vector<std::string>& args, const char* argv0);

// xmlc's commands, in the order the help lists them.
struct Command {
  const char* name;
  const char* summary;  // one line for the main help
  std::string (*help)();
  int (*run)(const std::vector<std::string>& args, const char* argv0);
};
const Command kCommands[] = {
    {"compile", "compile XML layout documents into compiled documents", CompileHelp, Compile},
    {"check", "compile and report, writing nothing", CheckHelp, Check},
    {"dump", "check a compiled document and print it", [] { return std::string(kDumpHelp); },
     [](const std::vector<std::string>& args, const char*) { return Dump(args); }},
    {"info", "show what the plug-in says of itself", [] { return std::string(kInfoHelp); }, Info},
    {"record", "record the parser's element events of a document, for replay",
     [] { return std::string(kRecordHelp); },
     [](const std::vector<std::string>& args, const char*) { return Record(args); }},
    {"help", "show a command's help: xmlc help COMMAND", [] { return std::string(kHelpHelp); },
     Help},
};

const Command* FindCommand(const std::string& name) {
  for (const Command& command : kCommands)
    if (name == command.name) return &command;
  return nullptr;
}

std::string MainHelp() {
  std::string help = "usage: xmlc COMMAND [OPTION]... [FILE]...\n\ncommands:\n";
  for (const Command& command : kCommands) {
    std::string name = std::string("  ") + command.name;
    name.resize(12, ' ');
    help += name + command.summary + "\n";
  }
  return help + "\nxmlc COMMAND --help shows a command's options; xmlc --version the versions.\n";
}

// A first argument that is no command: an option where the command belongs
// (said with the line reordered, when a command comes later), or a slip.
int NoCommand(const std::string& given, const std::vector<std::string>& args) {
  if (given.size() > 1 && given[0] == '-') {
    for (const std::string& arg : args) {
      if (FindCommand(arg) == nullptr) continue;
      std::string line = "xmlc " + arg + " " + given;
      for (const std::string& other : args)
        if (&other != &arg) line += " " + other;
      return Usage("", "the command comes first, then its options: " + line);
    }
    return Usage("",
                 "unknown option " + given + "; the command comes first: xmlc COMMAND [OPTION]...");
  }
  std::vector<std::string> names;
  for (const Command& command : kCommands) names.emplace_back(command.name);
  const std::string closest = tools::Closest(given, names);
  return Usage("", "no command '" + given + "'" +
                       (closest.empty() ? "" : "; did you mean '" + closest + "'?"));
}

int Help(const std::vector<std::string>& args, const char*) {
  if (args.empty()) return WriteOutput("", MainHelp());
  if (args.size() > 1)
    return Usage("help", "help takes one command, not " + std::to_string(args.size()));
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") return WriteOutput("", kHelpHelp);
  if (const Command* found = FindCommand(command)) return WriteOutput("", found->help());
  return NoCommand(command, {});
}

int Run(const std::string& command, const std::vector<std::string>& args, const char* argv0) {
  if (command == "--help" || command == "-h") return Help(args, argv0);
  if (command == "--version") {
    return WriteOutput("", std::string("xmlc ") + kVersion + " (" + XML_ExpatVersion() + ")\n");
  }
  if (const Command* found = FindCommand(command)) return found->run(args, argv0);
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
