// What every xmlc command shares: exit codes, option parsing with
// getopt_long, usage errors, checked output, and loading the plug-in.
#pragma once

#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <xmlcompiler/host/plugin_host.h>

namespace oxa::xmlc {

inline constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2;

// xmlc's version, the project's.
inline constexpr char kVersion[] = OXA_VERSION;

// A usage error: one line, then where the help is. Returns kExitUsage.
int Usage(const std::string& command, const std::string& message);

// The parsed command line of one command: its options by short name, its
// operands, and whether -h or --help was given.
struct CommandLine {
  std::vector<std::pair<int, std::string>> options;  // in the order given, -h left out
  std::vector<std::string> operands;
  bool help = false;
};

// Reads `args` (the command's own arguments) with getopt_long. Returns
// kExitOk and fills `line`, or prints the usage error and returns kExitUsage.
// 'h' is the help option of every command.
int ParseOptions(const std::string& command, const std::vector<std::string>& args,
                 const char* shortOptions, const option* longOptions, CommandLine* line);

// When diagnostics are coloured: -fdiagnostics-color=WHEN, --color=WHEN.
enum class ColorWhen { kAuto, kAlways, kNever };

// WHEN as gcc and GNU tools spell it: auto (tty, if-tty), always (yes,
// force) or never (no, none); nothing else.
std::optional<ColorWhen> ParseColorWhen(const std::string& text);

// Whether to colour what goes to `stream`: always (but never into a console
// that would show the escapes as text), never, or on auto where the stream
// is a terminal that obeys escapes and NO_COLOR is unset or empty.
bool UseColor(ColorWhen when, std::FILE* stream);

// `args` with gcc's spellings of the colour option (-fdiagnostics-color,
// -fdiagnostics-color=WHEN, -fno-diagnostics-color) written as --color=WHEN,
// up to a "--".
std::vector<std::string> WithGccSpellings(const std::vector<std::string>& args);

// Parses a whole decimal number in [low, high]; nothing else is accepted.
std::optional<unsigned long> ParseNumber(const std::string& text, unsigned long low,
                                         unsigned long high);

// Reads the whole of `path` into `bytes`, or prints "PATH: error: cannot
// read: CAUSE" and returns false.
bool ReadOrReport(const std::string& path, std::vector<std::uint8_t>* bytes);

// Refuses, as gcc does, an output that is the same file as an input: true
// (with the message printed) when it is.
bool OutputIsInput(const std::string& input, const std::string& output);

// Prints gcc's refusal of an output that is the same file as an input.
void ReportOutputIsInput(const std::string& input, const std::string& output);

// Writes a command's text output to FILE (atomically) or standard output
// (empty or "-"), checking the write. Returns the exit code.
int WriteOutput(const std::string& path, const std::string& text);

// The module to load: `given`, a path taken from the current folder (never
// looked for along the library search path), else the default beside the
// program.
std::string PluginPath(const std::string& given, const char* argv0);

// Loads the plug-in, or prints why it cannot and returns null.
std::unique_ptr<host::PluginHost> LoadPlugin(const std::string& path);

}  // namespace oxa::xmlc
