// What every xmlc command shares.
#include "xmlc/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "diagnostics/suggestions.h"
#include "platform/file_io.h"
#include "platform/platform.h"

namespace oxa::xmlc {

int Usage(const std::string& command, const std::string& message) {
  std::cerr << "xmlc: " << message << '\n'
            << "try 'xmlc " << (command.empty() ? "" : command + " ") << "--help'\n";
  return kExitUsage;
}

int ParseOptions(const std::string& command, const std::vector<std::string>& args,
                 const char* shortOptions, const option* longOptions, CommandLine* line) {
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.push_back("xmlc " + command);
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : storage) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string optstring = std::string(":") + shortOptions;  // ':' reports a missing value
  opterr = 0;
  optind = 0;  // 0 resets GNU getopt's state for a new vector
  int c;
  while ((c = getopt_long(static_cast<int>(argv.size() - 1), argv.data(), optstring.c_str(),
                          longOptions, nullptr)) != -1) {
    const std::string given = argv[optind - 1] ? argv[optind - 1] : "";
    const bool isLong = given.rfind("--", 0) == 0;
    const std::string name =
        isLong ? given.substr(0, given.find('=')) : std::string("-") + static_cast<char>(optopt);
    if (c == '?') {
      if (isLong && given.find('=') != std::string::npos && optopt != 0)
        return Usage(command, "option " + name + " takes no value");
      std::vector<std::string> known;
      for (const option* o = longOptions; o->name != nullptr; ++o)
        known.push_back(std::string("--") + o->name);
      const std::string closest = isLong ? tools::Closest(name, known) : "";
      return Usage(command, "unknown option " + name +
                                (closest.empty() ? "" : "; did you mean " + closest + "?"));
    }
    if (c == ':') return Usage(command, "option " + name + " needs a value");
    if (c == 'h') {
      line->help = true;
    } else {
      line->options.emplace_back(c, optarg ? optarg : "");
    }
  }
  for (int i = optind; i < static_cast<int>(argv.size() - 1); ++i)
    line->operands.push_back(argv[i]);
  return kExitOk;
}

std::optional<ColorWhen> ParseColorWhen(const std::string& text) {
  if (text == "auto" || text == "tty" || text == "if-tty") return ColorWhen::kAuto;
  if (text == "always" || text == "yes" || text == "force") return ColorWhen::kAlways;
  if (text == "never" || text == "no" || text == "none") return ColorWhen::kNever;
  return std::nullopt;
}

bool UseColor(ColorWhen when, std::FILE* stream) {
  if (when == ColorWhen::kNever) return false;
  const platform::Terminal terminal = platform::TerminalOf(stream);
  if (when == ColorWhen::kAlways) return terminal != platform::Terminal::kLegacyConsole;
  const char* noColor = std::getenv("NO_COLOR");
  return terminal == platform::Terminal::kEscapes && (noColor == nullptr || *noColor == '\0');
}

std::vector<std::string> WithGccSpellings(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  bool operands = false;
  for (const std::string& arg : args) {
    operands = operands || arg == "--";
    if (!operands && arg == "-fdiagnostics-color") {
      out.push_back("--color=always");
    } else if (!operands && arg.rfind("-fdiagnostics-color=", 0) == 0) {
      out.push_back("--color=" + arg.substr(arg.find('=') + 1));
    } else if (!operands && arg == "-fno-diagnostics-color") {
      out.push_back("--color=never");
    } else {
      out.push_back(arg);
    }
  }
  return out;
}

std::optional<unsigned long> ParseNumber(const std::string& text, unsigned long low,
                                         unsigned long high) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return {};
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (errno == ERANGE || *end != '\0' || value < low || value > high) return {};
  return value;
}

bool ReadOrReport(const std::string& path, std::vector<std::uint8_t>* bytes) {
  std::string error;
  if (ReadAll(path, bytes, &error)) return true;
  std::cerr << path << ": error: cannot read: " << error << '\n';
  return false;
}

void ReportOutputIsInput(const std::string& input, const std::string& output) {
  std::cerr << "xmlc: error: input file '" << input << "' is the same as output file '" << output
            << "'\n";
}

bool OutputIsInput(const std::string& input, const std::string& output) {
  if (!SameFile(input, output)) return false;
  ReportOutputIsInput(input, output);
  return true;
}

int WriteOutput(const std::string& path, const std::string& text) {
  std::string error;
  if (WriteAtomically(path.empty() ? "-" : path, text.data(), text.size(), &error)) return kExitOk;
  std::cerr << (path.empty() || path == "-" ? std::string("<stdout>") : path)
            << ": error: cannot write: " << error << '\n';
  return kExitFailed;
}

std::string PluginPath(const std::string& given, const char* argv0) {
  if (given.empty()) return oxa::host::DefaultPluginPath(argv0);
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(platform::PathOf(given), ec);
  return ec ? given : platform::Utf8Of(absolute);
}

std::unique_ptr<host::PluginHost> LoadPlugin(const std::string& path) {
  std::string error;
  auto host = host::PluginHost::Load(path, &error);
  if (!host) std::cerr << "xmlc: error: " << error << '\n';
  return host;
}

}  // namespace oxa::xmlc
