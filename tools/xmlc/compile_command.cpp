// xmlc compile: one input to -o OUTPUT, or each input to NAME.xmlc in -d
// OUTDIR or the current folder, on worker threads, each with its own
// compiler session. Everything that cannot work is refused before any input
// is read. xmlc check: the same compile and report, writing nothing.
#include <algorithm>
#include <atomic>
#include <chrono>
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
#include <string>
#include <thread>
#include <vector>

#include <xmlcompiler/host/legacy_encoding.h>
#include <xmlcompiler/host/plugin_host.h>
#include "diagnostics/diagnostics.h"
#include "diagnostics/finding_kinds.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "render/structured.h"
#include "render/text.h"
#include "xmlc/command_line.h"
#include "xmlc/commands.h"

namespace oxa::xmlc {

namespace {

constexpr unsigned kMaxWorkers = 256;

// The help lines of the options compile and check share, after -j (and -f).
constexpr char kReportOptionsHelp[] =
    "      --plugin=PATH        the plug-in module, PATH from the current folder\n"
    "                           (default: deva3201.so, or deva3201.dll on Windows,\n"
    "                           beside xmlc, else in ../lib/xmlcompiler)\n"
    "      --stdin-filename=PATH\n"
    "                           name standard input (-) PATH in the findings, as\n"
    "                           an editor piping an unsaved file does\n"
    "  -w, --no-warnings        show no warnings\n"
    "  -Werror                  make every warning an error\n"
    "  -Werror=KIND             make warnings of KIND errors\n"
    "  -Wno-error=KIND          keep KIND a warning under -Werror\n"
    "  -WKIND, -Wno-KIND        show, or do not show, warnings of KIND\n"
    "  -Wall, -Wextra           show every warning (all are shown unless turned off)\n"
    "      --warning=OPTION     the same as -WOPTION\n"
    "      --diagnostics-format=FORMAT\n"
    "                           text (gcc's lines, the default), json (one array\n"
    "                           for the run) or sarif (one SARIF 2.1.0 log), on\n"
    "                           standard error\n"
    "      --color[=WHEN], -fdiagnostics-color[=WHEN]\n"
    "                           colour the text: auto (the default: on a terminal,\n"
    "                           unless NO_COLOR is set), always (the option alone)\n"
    "                           or never\n"
    "  -h, --help               show this help\n";

// `text` broken into lines of at most 79 columns at its spaces.
std::string Wrapped(const std::string& text) {
  std::string out, line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!line.empty() && line.size() + 1 + word.size() > 79) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    at = end + 1;
  }
  return out + line + "\n";
}

// The encodings a layout may declare on this system, from the host's table.
std::string EncodingsHelp() {
  std::string list;
  for (const host::EncodingFamily& family : host::LayoutEncodings()) {
    if (std::strncmp(family.shown, "UTF-", 4) == 0) continue;
    list += (list.empty() ? "" : ", ") + std::string(family.shown);
  }
  const std::string other = host::OtherLayoutEncodings();
  if (!other.empty()) list += ", and " + other;
  return "UTF-8, UTF-16, or an encoding its declaration names: " + list + ".";
}

// The -j line of compile's and check's help.
std::string JobsHelp(const char* verb) {
  return std::string("  -j, --jobs=N             ") + verb + " with N workers, 1 to " +
         std::to_string(kMaxWorkers) + "\n                           (default: one per core)\n";
}

// The warning kinds, one line each, from the table of kinds.
std::string WarningKindsHelp() {
  std::string help = "\nwarning kinds (each shown unless turned off):\n";
  for (const tools::FindingKindInfo& kind : tools::FindingKinds()) {
    if (!kind.warning) continue;
    std::string name = std::string("  ") + kind.name;
    name.resize(std::max<std::size_t>(name.size() + 2, 21), ' ');
    help += name + kind.help + "\n";
  }
  return help;
}

}  // namespace

std::string CompileHelp() {
  return "usage: xmlc compile [OPTION]... INPUT...\n"
         "       xmlc compile [OPTION]... INPUT -o OUTPUT\n"
         "       xmlc compile [OPTION]... INPUT... -d OUTDIR\n"
         "\n" +
         Wrapped("Compiles each INPUT, an XML layout document (- reads standard input) in " +
                 EncodingsHelp() +
                 " Without -o or -d, each INPUT goes to NAME.xmlc in the current folder, NAME "
                 "being its file name less a .xml extension, as gcc -c writes NAME.o.") +
         "  -o, --output=OUTPUT      the compiled document of the one INPUT\n"
         "                           (- is standard output, never a terminal unless -f)\n"
         "  -d, --output-dir=OUTDIR  each INPUT to OUTDIR/NAME.xmlc; OUTDIR is created\n" +
         JobsHelp("compile") +
         "  -f, --force              write a compiled document to a terminal all the same\n" +
         kReportOptionsHelp + WarningKindsHelp() +
         "\n"
         "An output that is the same file as an input is refused before any work. An\n"
         "output file is written only when its input compiled (not when -Werror made a\n"
         "warning an error), and replaced whole; a failed input removes the output an\n"
         "earlier compile left, as gcc does, so that no stale output remains. An input\n"
         "is never removed. A symbolic link is written through to its file. Several\n"
         "inputs end with a summary line.\n"
         "Exit status: 0 all compiled, 1 some input failed, 2 usage error.\n";
}

std::string CheckHelp() {
  return std::string(
             "usage: xmlc check [OPTION]... INPUT...\n"
             "\n"
             "Compiles each INPUT as compile does and reports what it finds, but writes\n"
             "nothing: for pre-commit hooks and editors (- reads standard input).\n") +
         JobsHelp("check") + kReportOptionsHelp + WarningKindsHelp() +
         "\n"
         "Several inputs end with a summary line.\n"
         "Exit status: 0 all compiled, 1 some input failed, 2 usage error.\n";
}

namespace {

namespace fs = std::filesystem;
using host::CompilerSession;

// How diagnostics are written: as gcc's text, or as one JSON array or one
// SARIF 2.1.0 log for the whole run.
enum class DiagnosticsFormat { kText, kJson, kSarif };

struct CompileOptions {
  std::vector<std::string> inputs;
  std::string output, outDir, plugin;
  std::string stdinName;  // --stdin-filename: standard input's name in findings
  unsigned workers = 0;   // 0: one per core
  bool force = false;
  bool check = false;  // xmlc check: compile, report, write nothing
  DiagnosticsFormat format = DiagnosticsFormat::kText;
  tools::WarningPolicy warnings;
  ColorWhen color = ColorWhen::kAuto;
};

// The codes of the long options without a short one.
enum LongOption {
  kPluginOption = 256,
  kWarningOption,
  kFormatOption,
  kColorOption,
  kStdinNameOption
};

int ParseCompile(const std::vector<std::string>& args, CompileOptions* o, bool* help) {
  const char* command = o->check ? "check" : "compile";
  static const option kLong[] = {{"output", required_argument, nullptr, 'o'},
                                 {"output-dir", required_argument, nullptr, 'd'},
                                 {"jobs", required_argument, nullptr, 'j'},
                                 {"force", no_argument, nullptr, 'f'},
                                 {"plugin", required_argument, nullptr, kPluginOption},
                                 {"no-warnings", no_argument, nullptr, 'w'},
                                 {"warning", required_argument, nullptr, kWarningOption},
                                 {"diagnostics-format", required_argument, nullptr, kFormatOption},
                                 {"color", optional_argument, nullptr, kColorOption},
                                 {"stdin-filename", required_argument, nullptr, kStdinNameOption},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions(command, WithGccSpellings(args), "o:d:j:fhwW:", kLong, &line))
    return status;
  std::string error;
  for (const auto& [c, value] : line.options) {
    if (o->check && (c == 'o' || c == 'd' || c == 'f'))
      return Usage(command, "check writes nothing: -o, -d and -f are compile's");
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
      case kPluginOption:
        o->plugin = value;
        break;
      case kStdinNameOption:
        if (value.empty()) return Usage(command, "--stdin-filename needs a name");
        o->stdinName = value;
        break;
      case 'w':
        o->warnings.HideAll();
        break;
      case 'W':
      case kWarningOption:
        if (!o->warnings.Apply(value, c == 'W' ? "-W" : "--warning=", &error))
          return Usage(command, error);
        break;
      case kColorOption:
        if (const auto when = value.empty() ? ColorWhen::kAlways : ParseColorWhen(value)) {
          o->color = *when;
        } else {
          return Usage(command, "unknown colour choice '" + value + "' (auto, always or never)");
        }
        break;
      case kFormatOption:
        if (value == "text") {
          o->format = DiagnosticsFormat::kText;
        } else if (value == "json") {
          o->format = DiagnosticsFormat::kJson;
        } else if (value == "sarif") {
          o->format = DiagnosticsFormat::kSarif;
        } else {
          return Usage(command, "unknown diagnostics format '" + value + "' (text, json or sarif)");
        }
        break;
      case 'j': {
        const auto n = ParseNumber(value, 1, kMaxWorkers);
        if (!n)
          return Usage(command, "-j needs a number of workers from 1 to " +
                                    std::to_string(kMaxWorkers) + ", not '" + value + "'");
        o->workers = static_cast<unsigned>(*n);
        break;
      }
    }
  }
  o->inputs = line.operands;
  *help = line.help;
  return kExitOk;
}

// One worker per core unless -j says otherwise, and never more than inputs.
int ChooseWorkers(CompileOptions* o) {
  if (o->workers == 0) o->workers = std::max(1u, std::thread::hardware_concurrency());
  o->workers = std::min<unsigned>(o->workers, static_cast<unsigned>(o->inputs.size()));
  return kExitOk;
}

// Refuses what cannot work before any input is read: a missing input or
// output, clashing targets, an output that is an input, binary for a terminal.
int CheckCompile(CompileOptions* o) {
  if (o->inputs.empty()) return Usage(o->check ? "check" : "compile", "no input");
  if (o->check) return ChooseWorkers(o);
  if (!o->output.empty() && !o->outDir.empty())
    return Usage("compile", "give -o OUTPUT or -d OUTDIR, not both");
  if (!o->output.empty() && o->inputs.size() != 1)
    return Usage("compile", "-o takes one input; use -d OUTDIR for several");
  std::vector<std::string> targets;
  if (!o->output.empty()) {
    targets.push_back(o->output);
  } else {  // OUTDIR/NAME.xmlc, or NAME.xmlc in the current folder without -d
    std::set<std::string> seen;
    for (const auto& in : o->inputs) {
      if (in == "-") return Usage("compile", "standard input needs -o OUTPUT");
      const std::string target = OutputFor(in, o->outDir);
      if (!seen.insert(target).second) return Usage("compile", "two inputs would write " + target);
      targets.push_back(target);
    }
  }
  if (const auto clash = FindTargetThatIsInput(o->inputs, targets)) {
    ReportOutputIsInput(o->inputs[clash->second], targets[clash->first]);
    return kExitFailed;
  }
  if (o->output == "-" && !o->force && platform::IsTerminal(stdout)) {
    std::cerr << "xmlc: error: standard output is a terminal: not writing a compiled document "
                 "to it (redirect it, or use -f)\n";
    return kExitFailed;
  }
  if (!o->outDir.empty()) {
    std::error_code ec;
    const fs::path outDir = platform::PathOf(o->outDir);
    fs::create_directories(outDir, ec);
    if (ec || !fs::is_directory(outDir)) {
      std::cerr << o->outDir << ": error: cannot create the output folder: "
                << (ec ? ec.message() : "not a folder") << '\n';
      return kExitFailed;
    }
  }
  return ChooseWorkers(o);
}

// What compiling one input came to: its findings as the policy shows
// them, their text (for the text format), and whether it failed.
struct CompileOutcome {
  std::vector<tools::Record> records;
  std::string text;
  unsigned warnings = 0;  // warnings shown as warnings
  unsigned errors = 0;    // errors shown (warnings under -Werror included)
  bool failed = false;    // no output may be written
};

// Counts and, for the text format, renders `outcome`'s records, about the
// document read as `text` (null for none).
void Finish(CompileOutcome* outcome, const tools::SourceText* text, bool render, bool color) {
  for (const tools::Record& r : outcome->records) (r.error ? outcome->errors : outcome->warnings)++;
  outcome->failed = outcome->failed || outcome->errors > 0;
  if (render) outcome->text = tools::RenderText(outcome->records, text, color);
}

// Compiles one input to its target (none: write nothing). Nothing is
// written when the input failed or a warning is an error (-Werror), and the
// output an earlier compile left there is removed, so that a build never
// ships the last good layout as this one.
CompileOutcome CompileOne(CompilerSession& session, const std::string& input,
                          const std::string& target, const CompileOptions& o,
                          const tools::EngineSettings& settings, bool color) {
  const std::string shown = input != "-" ? input : o.stdinName.empty() ? "<stdin>" : o.stdinName;
  CompileOutcome outcome;
  std::unique_ptr<tools::SourceText> source;  // read only when there is something to say
  tools::Diagnosis diagnosis;
  std::vector<std::uint8_t> document;
  std::string error;
  if (!ReadAll(input, &document, &error)) {
    outcome.records.push_back(tools::FileError(shown, "cannot read: " + error));
  } else {
    try {
      const CompilerSession::Result r = session.Compile(std::move(document));
      const tools::Compilation compilation = tools::CompilationOf(r);
      if (!tools::NothingToReport(compilation)) {
        const std::uint8_t* bytes = r.input ? r.input->GetBuffer() : nullptr;
        source = std::make_unique<tools::SourceText>(bytes, r.input ? r.input->GetSize() : 0);
        diagnosis = tools::Diagnose(compilation, *source, settings);
      }
      outcome.records = std::move(diagnosis.records);
      tools::ApplyPolicy(o.warnings, &outcome.records);
      for (tools::Record& record : outcome.records) record.file = shown;
      outcome.failed = Failed(r.hr) || tools::AnyError(outcome.records);
      if (!outcome.failed && !target.empty() &&
          !WriteAtomically(target, r.Data(), r.Size(), &error)) {
        outcome.records.push_back(
            tools::FileError(target == "-" ? "<stdout>" : target, "cannot write: " + error));
      }
    } catch (const std::bad_alloc&) {
      outcome = CompileOutcome();
      source.reset();
      outcome.records.push_back(tools::FileError(shown, "out of memory"));
    }
  }
  outcome.failed = outcome.failed || tools::AnyError(outcome.records);
  if (outcome.failed && !target.empty() && !RemoveStale(target, &error)) {
    outcome.records.push_back(
        tools::FileError(target, "cannot remove the output of an earlier compile: " + error));
  }
  Finish(&outcome, source ? &diagnosis.TextFor(*source) : nullptr,
         o.format == DiagnosticsFormat::kText, color);
  return outcome;
}

// Shows "[done/total] compiled" on a terminal, redrawn at most ten times a second.
class Progress {
 public:
  explicit Progress(std::size_t total)
      : total_(total),
        on_(total > 1 && platform::TerminalOf(stderr) == platform::Terminal::kEscapes) {}
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
    if (Failed(hr)) {
      std::cerr << "xmlc: error: cannot create a compiler: " << host::ResultText(hr) << '\n';
      return kExitFailed;
    }
  }
  std::atomic<std::size_t> next{0};
  std::size_t done = 0, failed = 0, warnings = 0, errors = 0;
  std::mutex printing;
  const bool text = o.format == DiagnosticsFormat::kText;
  const tools::EngineSettings settings{platform::SystemCodePage()};
  const bool color = text && UseColor(o.color, stderr);
  Progress progress(text ? o.inputs.size() : 0);
  // For json and sarif: every input's records, in the order of the inputs.
  std::vector<std::vector<tools::Record>> records(text ? 0 : o.inputs.size());
  // For text: the texts of inputs done before all those ahead of them, held
  // back so that the output keeps the inputs' order, whatever the workers.
  std::vector<std::optional<std::string>> waiting(text ? o.inputs.size() : 0);
  std::size_t printed = 0;
  auto work = [&](CompilerSession& session) {
    for (std::size_t i; (i = next++) < o.inputs.size();) {
      const std::string& input = o.inputs[i];
      const std::string target = o.check            ? std::string()
                                 : o.output.empty() ? OutputFor(input, o.outDir)
                                                    : o.output;
      CompileOutcome outcome = CompileOne(session, input, target, o, settings, color);
      std::lock_guard<std::mutex> lock(printing);
      ++done;
      if (outcome.failed) ++failed;
      warnings += outcome.warnings;
      errors += outcome.errors;
      if (text) {
        waiting[i] = std::move(outcome.text);
        std::string ready;
        for (; printed < waiting.size() && waiting[printed]; ++printed) {
          ready += *waiting[printed];
          waiting[printed].reset();
        }
        progress.Report(done, ready);
      } else {
        records[i] = std::move(outcome.records);
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned w = 1; w < o.workers; ++w) threads.emplace_back(work, std::ref(*sessions[w]));
  work(*sessions[0]);
  for (auto& t : threads) t.join();
  progress.Clear();
  sessions.clear();
  if (!text) {
    std::vector<tools::Record> all;
    for (auto& one : records) all.insert(all.end(), one.begin(), one.end());
    std::cerr << (o.format == DiagnosticsFormat::kJson
                      ? tools::JsonOf(all)
                      : tools::SarifOf(all, kVersion, platform::FileUri));
  } else if (!o.outDir.empty() || o.inputs.size() > 1) {
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

}  // namespace

namespace {

int Run(const std::vector<std::string>& args, const char* argv0, CompileOptions options,
        const std::string& help) {
  bool wantsHelp = false;
  if (const int status = ParseCompile(args, &options, &wantsHelp)) return status;
  if (wantsHelp) return WriteOutput("", help);
  if (const int status = CheckCompile(&options)) return status;
  return RunCompile(options, argv0);
}

}  // namespace

int Compile(const std::vector<std::string>& args, const char* argv0) {
  return Run(args, argv0, CompileOptions(), CompileHelp());
}

int Check(const std::vector<std::string>& args, const char* argv0) {
  CompileOptions options;
  options.check = true;
  return Run(args, argv0, std::move(options), CheckHelp());
}

}  // namespace oxa::xmlc
