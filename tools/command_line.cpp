// What every xmlc command shares.
#include "command_line.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "file_io.h"

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
      return Usage(command, "unknown option " + name);
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
  return given.empty() ? oxa::host::DefaultPluginPath(argv0) : given;
}

std::unique_ptr<host::PluginHost> LoadPlugin(const std::string& path) {
  std::string error;
  auto host = host::PluginHost::Load(path, &error);
  if (!host) std::cerr << "xmlc: error: " << error << '\n';
  return host;
}

}  // namespace oxa::xmlc
