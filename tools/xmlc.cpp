// xmlc: compiles layout documents through the deva3201 plug-in, decodes
// compiled documents, and shows what the plug-in says of itself.
//
// Every command reads its options with getopt_long (`-j2`, `-j 2`,
// `--jobs=2`, `--`), answers a usage error with one line and a hint, names the
// file and the cause of every failure, and never overwrites an input or
// leaves a partial output.
#include <expat.h>
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <xmlcompiler/host/event_recording.h>
#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/plugin_host.h>
#include "compiled_document.h"
#include "diagnostics.h"

namespace {

namespace fs = std::filesystem;
using oxa::HResult;
using oxa::host::CompilerSession;
using oxa::host::PluginHost;

constexpr char kVersion[] = "0.1.0";

// Permissions of the files xmlc writes: 0666 less the umask, read once at start.
mode_t g_fileMode = 0644;
constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2;
// The host hands a document to the compiler in one buffer with a 32-bit length.
constexpr std::uint64_t kMaxInput = 0xFFFFFFFFu;
constexpr unsigned kMaxWorkers = 256;

constexpr char kMainHelp[] =
    "usage: xmlc COMMAND [OPTION]... [FILE]...\n"
    "\n"
    "commands:\n"
    "  compile   compile XML layout documents into compiled documents\n"
    "  dump      check a compiled document and print it\n"
    "  info      show what the plug-in says of itself\n"
    "  record    record the parser's element events of a document, for replay\n"
    "  help      show a command's help: xmlc help COMMAND\n"
    "\n"
    "xmlc COMMAND --help shows a command's options; xmlc --version the versions.\n";

constexpr char kCompileHelp[] =
    "usage: xmlc compile [OPTION]... INPUT -o OUTPUT\n"
    "       xmlc compile [OPTION]... INPUT... -d OUTDIR\n"
    "\n"
    "Compiles each INPUT, an XML layout document (- reads standard input) in\n"
    "UTF-8, UTF-16, or an encoding its declaration names: ISO-8859-x, windows-125x,\n"
    "KOI8-R/U, DOS and Mac code pages, ASCII, Shift_JIS/CP932, EUC-JP, GBK/CP936,\n"
    "GB2312, Big5/CP950, EUC-KR/CP949 (any that iconv knows and expat can take).\n"
    "  -o, --output=OUTPUT      the compiled document of the one INPUT\n"
    "                           (- writes standard output, never a terminal unless -f)\n"
    "  -d, --output-dir=OUTDIR  a batch: each INPUT goes to OUTDIR/NAME.xmlc, NAME being\n"
    "                           its file name less a .xml extension; OUTDIR is created\n"
    "  -j, --jobs=N             compile a batch with N workers, 1 to 256\n"
    "                           (default: one per core)\n"
    "  -f, --force              write a compiled document to a terminal all the same\n"
    "      --plugin=PATH        the plug-in module (default: deva3201.so beside xmlc,\n"
    "                           else in ../lib/xmlcompiler)\n"
    "  -w, --no-warnings        show no warnings\n"
    "  -Werror, --warning=error\n"
    "                           make every warning an error: exit 1, no output file\n"
    "  -Wno-KIND, --warning=no-KIND\n"
    "                           show no warnings of KIND: missing-layoutid,\n"
    "                           unknown-layout, empty-layout, duplicate-id,\n"
    "                           not-a-directive, text-dropped\n"
    "  -h, --help               show this help\n"
    "\n"
    "An output that is the same file as an input is refused before any work. An\n"
    "output file is written only when its input compiled, and replaced whole: a\n"
    "failed input leaves its target untouched. A batch ends with a summary line.\n"
    "Exit status: 0 all compiled, 1 some input failed, 2 usage error.\n";

constexpr char kDumpHelp[] =
    "usage: xmlc dump [OPTION]... FILE\n"
    "\n"
    "Checks FILE as a compiled document and prints it (- reads standard input).\n"
    "      --format=FORMAT  xml     indented XML that compiles back to the same bytes (default)\n"
    "                       json    the string table and the elements in document order,\n"
    "                               each with its parent, depth and attributes, for tools\n"
    "                       tree    the string table and a compact tree with string indices\n"
    "                       chunks  every field with its offset, bytes and value\n"
    "  -o, --output=FILE    write to FILE instead of standard output\n"
    "  -h, --help           show this help\n"
    "\n"
    "On the first fault prints FILE: error: offset N: WHAT and exits with 1.\n";

constexpr char kRecordHelp[] =
    "usage: xmlc record [OPTION]... INPUT -o EVENTS\n"
    "\n"
    "Parses INPUT with the reference host's parser, as a compile would, and writes\n"
    "the element events it delivers to EVENTS, for hosts that replay them without\n"
    "an XML parser (the Windows test host).\n"
    "  -o, --output=EVENTS  the recorded events\n"
    "  -h, --help           show this help\n";

constexpr char kInfoHelp[] =
    "usage: xmlc info [OPTION]...\n"
    "\n"
    "Loads the plug-in and prints which module file it is, its description, package\n"
    "name, components and namespace, and the versions of xmlc and expat.\n"
    "      --plugin=PATH  the plug-in module (default: deva3201.so beside xmlc,\n"
    "                     else in ../lib/xmlcompiler)\n"
    "  -h, --help         show this help\n";

// A usage error: one line, then where the help is.
int Usage(const std::string& command, const std::string& message) {
  std::cerr << "xmlc: " << message << '\n'
            << "try 'xmlc " << (command.empty() ? "" : command + " ") << "--help'\n";
  return kExitUsage;
}

// The parsed command line of one command: its options by short name and its operands.
struct CommandLine {
  std::vector<std::pair<int, std::string>> options;  // in the order given
  std::vector<std::string> operands;
};

// Reads `args` (the command's own arguments) with getopt_long. Returns
// kExitOk and fills `line`, or prints the usage error and returns kExitUsage.
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
    line->options.emplace_back(c, optarg ? optarg : "");
  }
  for (int i = optind; i < static_cast<int>(argv.size() - 1); ++i)
    line->operands.push_back(argv[i]);
  return kExitOk;
}

// Parses a whole decimal number in [low, high]; nothing else is accepted.
std::optional<unsigned long> ParseNumber(const std::string& text, unsigned long low,
                                         unsigned long high) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return {};
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (errno == ERANGE || *end != '\0' || value < low || value > high) return {};
  return value;
}

// Reads a whole file (or standard input for "-"). A file past the largest
// input a compile takes, or one that memory cannot hold, is refused by name.
bool ReadAll(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  bool ok = true;
  try {
    bytes->clear();
    struct stat st;
    if (file != stdin && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
      *error = "is a folder";
      ok = false;
    } else {
      if (file != stdin && S_ISREG(st.st_mode) &&
          static_cast<std::uint64_t>(st.st_size) <= kMaxInput)
        bytes->reserve(static_cast<std::size_t>(st.st_size));  // one exact allocation for files
      std::uint8_t chunk[1 << 16];
      std::size_t n;
      while (ok && (n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        if (bytes->size() + n > kMaxInput) {
          *error = "larger than 4 GiB, the most a compile takes";
          ok = false;
        } else {
          bytes->insert(bytes->end(), chunk, chunk + n);
        }
      }
      if (ok && std::ferror(file) != 0) {
        *error = std::strerror(errno);
        ok = false;
      }
    }
  } catch (const std::bad_alloc&) {
    *error = "out of memory while reading it";
    ok = false;
  } catch (const std::length_error&) {
    *error = "too large to hold in memory";
    ok = false;
  }
  if (file != stdin) std::fclose(file);
  if (!ok) std::vector<std::uint8_t>().swap(*bytes);
  return ok;
}

// Writes all of `data` to the open descriptor `fd`.
bool WriteFully(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, bytes + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `data` to `path` through a temporary file in the same folder that is
// renamed over the target only once complete. A symbolic link is written
// through to its file. An existing target that is not a regular file (a
// device such as /dev/null, a pipe) is written in place, never replaced.
// "-" writes standard output.
bool WriteAtomically(const std::string& path, const void* data, std::size_t size,
                     std::string* error) {
  if (path == "-") {
    const bool ok = std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0;
    if (!ok) *error = std::strerror(errno);
    return ok;
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = fd >= 0 && WriteFully(fd, data, size);
    if (!ok) *error = std::strerror(errno);
    if (fd >= 0 && close(fd) != 0 && ok) {
      *error = std::strerror(errno);
      ok = false;
    }
    return ok;
  }
  std::error_code ec;
  const fs::path target = fs::is_symlink(fs::symlink_status(path, ec)) && fs::exists(path, ec)
                              ? fs::canonical(path, ec)
                              : fs::path(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    *error = "cannot create a temporary file in " + dir.string() + ": " + std::strerror(errno);
    return false;
  }
  const bool complete = WriteFully(fd, data, size);
  const int savedErrno = errno;
  fchmod(fd, g_fileMode);  // mkstemp made it 0600
  if (close(fd) != 0 || !complete || rename(temp.c_str(), target.c_str()) != 0) {
    *error = std::strerror(complete ? errno : savedErrno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// Whether two paths name one existing file (through ./, hard or symbolic links).
bool SameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Refuses, as gcc does, an output that is the same file as an input: true
// (with the message printed) when it is.
bool OutputIsInput(const std::string& input, const std::string& output) {
  if (!SameFile(input, output)) return false;
  std::cerr << "xmlc: error: input file '" << input << "' is the same as output file '" << output
            << "'\n";
  return true;
}

// OUTDIR/NAME.xmlc for a batch input, NAME being its file name less .xml in any case.
std::string OutputFor(const std::string& input, const std::string& outDir) {
  fs::path name = fs::path(input).filename();
  std::string ext = name.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == ".xml" && name.stem() != "") name = name.stem();
  return (fs::path(outDir) / (name.string() + ".xmlc")).lexically_normal().string();
}

std::string PluginPath(const std::string& given, const char* argv0) {
  return given.empty() ? oxa::host::DefaultPluginPath(argv0) : given;
}

std::unique_ptr<PluginHost> LoadPlugin(const std::string& path) {
  std::string error;
  auto host = PluginHost::Load(path, &error);
  if (!host) std::cerr << "xmlc: error: " << error << '\n';
  return host;
}

// ---- compile -------------------------------------------------------------

struct CompileOptions {
  std::vector<std::string> inputs;
  std::string output, outDir, plugin;
  unsigned workers = 0;  // 0: one per core
  bool force = false;
  oxa::tools::WarningPolicy warnings;
};

int ParseCompile(const std::vector<std::string>& args, CompileOptions* o, bool* help) {
  static const option kLong[] = {{"output", required_argument, nullptr, 'o'},
                                 {"output-dir", required_argument, nullptr, 'd'},
                                 {"jobs", required_argument, nullptr, 'j'},
                                 {"force", no_argument, nullptr, 'f'},
                                 {"plugin", required_argument, nullptr, 'P'},
                                 {"no-warnings", no_argument, nullptr, 'w'},
                                 {"warning", required_argument, nullptr, 'W'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions("compile", args, "o:d:j:fhwW:", kLong, &line)) return status;
  for (const auto& [c, value] : line.options) {
    switch (c) {
      case 'o':
        o->output = value;
        break;
      case 'd':
        o->outDir = value;
        break;
      case 'f':
        o->force = true;
        break;
      case 'P':
        o->plugin = value;
        break;
      case 'h':
        *help = true;
        break;
      case 'w':
        o->warnings.none = true;
        break;
      case 'W':
        if (value == "error") {
          o->warnings.asErrors = true;
        } else if (value.rfind("no-", 0) == 0 &&
                   oxa::tools::WarningKinds().count(value.substr(3)) != 0) {
          o->warnings.off.insert(value.substr(3));
        } else {
          return Usage("compile", "unknown warning option -W" + value);
        }
        break;
      case 'j': {
        const auto n = ParseNumber(value, 1, kMaxWorkers);
        if (!n)
          return Usage("compile",
                       "-j needs a number of workers from 1 to 256, not '" + value + "'");
        o->workers = static_cast<unsigned>(*n);
        break;
      }
    }
  }
  o->inputs = line.operands;
  return kExitOk;
}

// Refuses what cannot work before any input is read: a missing input or
// output, clashing targets, an output that is an input, binary for a terminal.
int CheckCompile(CompileOptions* o) {
  if (o->inputs.empty()) return Usage("compile", "no input");
  if (o->output.empty() == o->outDir.empty())
    return Usage("compile", "give either -o OUTPUT or -d OUTDIR");
  if (!o->output.empty() && o->inputs.size() != 1)
    return Usage("compile", "-o takes one input; use -d OUTDIR for several");
  std::vector<std::string> targets;
  if (!o->output.empty()) {
    targets.push_back(o->output);
  } else {
    std::set<std::string> seen;
    for (const auto& in : o->inputs) {
      if (in == "-") return Usage("compile", "standard input needs -o OUTPUT");
      const std::string target = OutputFor(in, o->outDir);
      if (!seen.insert(target).second) return Usage("compile", "two inputs would write " + target);
      targets.push_back(target);
    }
  }
  for (const auto& target : targets) {
    for (const auto& in : o->inputs) {
      if (OutputIsInput(in, target)) return kExitFailed;
    }
  }
  if (o->output == "-" && !o->force && isatty(STDOUT_FILENO)) {
    std::cerr << "xmlc: error: standard output is a terminal: not writing a compiled document "
                 "to it (redirect it, or use -f)\n";
    return kExitFailed;
  }
  if (!o->outDir.empty()) {
    std::error_code ec;
    fs::create_directories(o->outDir, ec);
    if (ec || !fs::is_directory(o->outDir)) {
      std::cerr << o->outDir << ": error: cannot create the output folder: "
                << (ec ? ec.message() : "not a folder") << '\n';
      return kExitFailed;
    }
  }
  if (o->workers == 0) o->workers = std::max(1u, std::thread::hardware_concurrency());
  o->workers = std::min<unsigned>(o->workers, static_cast<unsigned>(o->inputs.size()));
  return kExitOk;
}

// What compiling one input came to: the diagnostics to print, and the counts.
struct CompileOutcome {
  std::string text;
  bool failed = false;
  unsigned warnings = 0, errors = 0;
};

// Compiles one input to its target. Nothing is written when the input
// failed or a warning is an error (-Werror).
CompileOutcome CompileOne(CompilerSession& session, const std::string& input,
                          const std::string& target, const oxa::tools::WarningPolicy& policy) {
  const std::string shown = input == "-" ? "<stdin>" : input;
  CompileOutcome outcome;
  auto fail = [&](const std::string& message) {
    outcome.text += message + "\n";
    outcome.failed = true;
    ++outcome.errors;
    return outcome;
  };
  std::vector<std::uint8_t> document;
  std::string error;
  if (!ReadAll(input, &document, &error)) return fail(shown + ": error: cannot read: " + error);
  try {
    const CompilerSession::Result r = session.Compile(std::move(document));
    const oxa::tools::Diagnosis d = oxa::tools::Diagnose(shown, r, policy);
    outcome.text = d.text;
    outcome.warnings = d.warnings;
    outcome.errors = d.errors;
    outcome.failed = d.failed;
    if (d.failed) return outcome;
    if (!WriteAtomically(target, r.Data(), r.Size(), &error))
      return fail((target == "-" ? "<stdout>" : target) + ": error: cannot write: " + error);
  } catch (const std::bad_alloc&) {
    return fail(shown + ": error: out of memory");
  }
  return outcome;
}

// Shows "[done/total] compiled" on a terminal, redrawn at most ten times a second.
class Progress {
 public:
  explicit Progress(std::size_t total)
      : total_(total),
        on_(total > 1 && isatty(STDERR_FILENO) && std::getenv("TERM") != nullptr &&
            std::strcmp(std::getenv("TERM"), "dumb") != 0) {}
  // Prints `message` (whole lines, if any) above the line, then redraws it when due.
  void Report(std::size_t done, const std::string& message) {
    if (on_ && (!message.empty() || Due())) std::cerr << "\r\033[K";
    if (!message.empty()) std::cerr << message;
    if (on_ && (!message.empty() || Due())) {
      std::cerr << '[' << done << '/' << total_ << "] compiled" << std::flush;
      last_ = std::chrono::steady_clock::now();
    }
  }
  void Clear() {
    if (on_) std::cerr << "\r\033[K" << std::flush;
  }

 private:
  bool Due() const {
    return std::chrono::steady_clock::now() - last_ >= std::chrono::milliseconds(100);
  }
  std::size_t total_;
  bool on_;
  std::chrono::steady_clock::time_point last_{};
};

int RunCompile(const CompileOptions& o, const char* argv0) {
  const auto started = std::chrono::steady_clock::now();
  auto host = LoadPlugin(PluginPath(o.plugin, argv0));
  if (!host) return kExitFailed;
  std::vector<std::unique_ptr<CompilerSession>> sessions(o.workers);
  for (auto& session : sessions) {
    const HResult hr = host->CreateSession(&session);
    if (oxa::Failed(hr)) {
      std::cerr << "xmlc: error: cannot create a compiler: " << oxa::host::ResultText(hr) << '\n';
      return kExitFailed;
    }
  }
  std::atomic<std::size_t> next{0};
  std::size_t done = 0, failed = 0, warnings = 0, errors = 0;
  std::mutex printing;
  Progress progress(o.inputs.size());
  auto work = [&](CompilerSession& session) {
    for (std::size_t i; (i = next++) < o.inputs.size();) {
      const std::string& input = o.inputs[i];
      const CompileOutcome outcome = CompileOne(
          session, input, o.output.empty() ? OutputFor(input, o.outDir) : o.output, o.warnings);
      std::lock_guard<std::mutex> lock(printing);
      ++done;
      if (outcome.failed) ++failed;
      warnings += outcome.warnings;
      errors += outcome.errors;
      progress.Report(done, outcome.text);
    }
  };
  std::vector<std::thread> threads;
  for (unsigned w = 1; w < o.workers; ++w) threads.emplace_back(work, std::ref(*sessions[w]));
  work(*sessions[0]);
  for (auto& t : threads) t.join();
  progress.Clear();
  sessions.clear();
  if (!o.outDir.empty()) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char summary[160];
    std::snprintf(summary, sizeof(summary),
                  "xmlc: %zu compiled, %zu failed, %zu warning%s, %zu error%s in %.2f s\n",
                  done - failed, failed, warnings, warnings == 1 ? "" : "s", errors,
                  errors == 1 ? "" : "s", seconds);
    std::cerr << summary;
  }
  return failed == 0 ? kExitOk : kExitFailed;
}

int Compile(const std::vector<std::string>& args, const char* argv0) {
  CompileOptions options;
  bool help = false;
  if (const int status = ParseCompile(args, &options, &help)) return status;
  if (help) {
    std::cout << kCompileHelp;
    return kExitOk;
  }
  if (const int status = CheckCompile(&options)) return status;
  return RunCompile(options, argv0);
}

// ---- dump, record, info ---------------------------------------------------

// Writes a command's text output to FILE (atomically) or standard output, checking the write.
int WriteOutput(const std::string& path, const std::string& text) {
  std::string error;
  if (WriteAtomically(path.empty() ? "-" : path, text.data(), text.size(), &error)) return kExitOk;
  std::cerr << (path.empty() || path == "-" ? std::string("<stdout>") : path)
            << ": error: cannot write: " << error << '\n';
  return kExitFailed;
}

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

int Dump(const std::vector<std::string>& args) {
  static const option kLong[] = {{"format", required_argument, nullptr, 'F'},
                                 {"output", required_argument, nullptr, 'o'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions("dump", args, "o:h", kLong, &line)) return status;
  std::string format = "xml", output;
  for (const auto& [c, value] : line.options) {
    if (c == 'h') {
      std::cout << kDumpHelp;
      return kExitOk;
    }
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
  std::string error;
  if (!ReadAll(file, &bytes, &error)) {
    std::cerr << file << ": error: cannot read: " << error << '\n';
    return kExitFailed;
  }
  oxa::reader::Document doc;
  oxa::reader::ReadError fault;
  if (!oxa::reader::Document::Open(bytes.data(), bytes.size(), &doc, &fault)) {
    std::cerr << file << ": error: offset " << fault.offset << ": " << fault.what << '\n';
    if (!bytes.empty() &&
        (bytes[0] == '<' || bytes[0] == 0xEF || bytes[0] == 0xFE || bytes[0] == 0xFF))
      std::cerr << file << ": note: it looks like XML; did you mean 'xmlc compile'?\n";
    return kExitFailed;
  }
  std::ostringstream out;
  if (format == "xml") {
    if (!oxa::tools::WriteXml(doc, out, &error) || !ParsesAsXml(out.str(), &error)) {
      std::cerr << file << ": error: cannot be written as well-formed XML: " << error << '\n';
      return kExitFailed;
    }
  } else if (format == "json") {
    if (!oxa::tools::WriteJson(doc, out, &error)) {
      std::cerr << file << ": error: " << error << '\n';
      return kExitFailed;
    }
  } else if (format == "tree") {
    oxa::tools::WriteTree(doc, out);
  } else {
    oxa::tools::WriteChunks(doc, out);
  }
  return WriteOutput(output, out.str());
}

std::string GuidText(const oxa::Guid& g) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

int Record(const std::vector<std::string>& args) {
  static const option kLong[] = {{"output", required_argument, nullptr, 'o'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions("record", args, "o:h", kLong, &line)) return status;
  std::string output;
  for (const auto& [c, value] : line.options) {
    if (c == 'h') {
      std::cout << kRecordHelp;
      return kExitOk;
    }
    output = value;
  }
  if (line.operands.size() != 1 || output.empty())
    return Usage("record", "give one INPUT and -o EVENTS");
  const std::string& input = line.operands[0];
  if (OutputIsInput(input, output)) return kExitFailed;
  std::vector<std::uint8_t> document;
  std::string error;
  if (!ReadAll(input, &document, &error)) {
    std::cerr << input << ": error: cannot read: " << error << '\n';
    return kExitFailed;
  }
  oxa::host::ParseReport report;
  oxa::host::EventRecorder recorder;
  auto parser = oxa::host::ExpatParser::Create(&report);
  parser->Prepare(&recorder, &recorder, "UTF-8", ':');
  oxa::ComPtr<oxa::host::HostBuffer> buffer = oxa::host::HostBuffer::Create();
  buffer->Bytes().swap(document);
  if (oxa::Failed(parser->Feed(buffer.Get(), 1))) {
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

int Info(const std::vector<std::string>& args, const char* argv0) {
  static const option kLong[] = {{"plugin", required_argument, nullptr, 'P'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions("info", args, "h", kLong, &line)) return status;
  std::string plugin;
  for (const auto& [c, value] : line.options) {
    if (c == 'h') {
      std::cout << kInfoHelp;
      return kExitOk;
    }
    plugin = value;
  }
  if (!line.operands.empty())
    return Usage("info", "info takes no operand '" + line.operands[0] + "'");
  const std::string path = PluginPath(plugin, argv0);
  auto host = LoadPlugin(path);
  if (!host) return kExitFailed;
  oxa::host::PluginDescription d;
  const HResult hr = host->Describe(&d);
  if (oxa::Failed(hr)) {
    std::cerr << "xmlc: error: the plug-in cannot describe itself: " << oxa::host::ResultText(hr)
              << '\n';
    return kExitFailed;
  }
  std::error_code ec;
  const fs::path module = fs::canonical(path, ec);
  std::ostringstream out;
  out << "module:      " << (ec ? path : module.string()) << '\n'
      << "description: " << d.description << '\n'
      << "copyright:   " << d.copyright << '\n'
      << "package:     " << d.packageName << '\n'
      << "namespace:   " << d.namespaceUri << '\n';
  for (std::size_t i = 0; i < d.componentClassIds.size(); ++i) {
    out << "component " << i << ": " << GuidText(d.componentClassIds[i]) << '\n';
  }
  out << "xmlc:        " << kVersion << '\n' << "expat:       " << XML_ExpatVersion() << '\n';
  return WriteOutput("", out.str());
}

int Help(const std::vector<std::string>& args) {
  if (args.empty()) return WriteOutput("", kMainHelp);
  const std::string& command = args[0];
  if (command == "compile") return WriteOutput("", kCompileHelp);
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
  if (command == "dump") return Dump(args);
  if (command == "info") return Info(args, argv0);
  if (command == "record") return Record(args);
  return Usage("", "no command '" + command + "'");
}

}  // namespace

int main(int argc, char** argv) {
  const mode_t mask = umask(0);
  umask(mask);
  g_fileMode = 0666 & ~mask;
  std::vector<std::string> args(argv + 1, argv + argc);
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
