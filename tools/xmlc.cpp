// xmlc: compiles layout documents through the deva3201 plug-in, decodes
// compiled documents, and shows what the plug-in says of itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "compiled_document.h"
#include "host/event_recording.h"
#include "host/expat_parser.h"
#include "host/plugin_host.h"

namespace {

using oxa::HResult;
using oxa::host::CompilerSession;
using oxa::host::PluginHost;

constexpr char kVersion[] = "xmlc 0.1.0";

// Permissions of the files xmlc writes: 0666 less the umask, read once at start.
mode_t g_fileMode = 0644;
constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2;

constexpr char kMainHelp[] =
    "usage: xmlc <command> [options]\n"
    "\n"
    "commands:\n"
    "  compile   compile XML layout documents into compiled documents\n"
    "  dump      decode and print a compiled document\n"
    "  info      show what the plug-in says of itself\n"
    "  record    record the parser's element events of a document, for replay\n"
    "\n"
    "xmlc <command> --help shows a command's options; xmlc --version its version.\n";

constexpr char kCompileHelp[] =
    "usage: xmlc compile INPUT -o OUTPUT [--plugin PATH]\n"
    "       xmlc compile INPUT... -d OUTDIR [-j N] [--plugin PATH]\n"
    "\n"
    "Compiles each INPUT (an XML layout document; - reads standard input).\n"
    "  -o OUTPUT      the compiled document of the one INPUT (- writes standard output)\n"
    "  -d OUTDIR      a batch: INPUT's compiled document goes to OUTDIR/NAME.xmlc,\n"
    "                 NAME being INPUT's file name without its .xml extension\n"
    "  -j N           compile a batch with N workers (default 1)\n"
    "  --plugin PATH  the plug-in module (default: deva3201.so beside xmlc)\n"
    "\n"
    "An output file is written only when its input compiled; a failed input leaves\n"
    "its target untouched. Exit status: 0 all compiled, 1 some failed, 2 usage error.\n";

constexpr char kDumpHelp[] =
    "usage: xmlc dump FILE [--format xml|tree|chunks]\n"
    "\n"
    "Checks FILE as a compiled document and prints it (- reads standard input):\n"
    "  xml     indented XML, attributes in stored order (default)\n"
    "  tree    the string table and a compact tree with string indices\n"
    "  chunks  every field with its offset, bytes and value\n"
    "On the first fault prints FILE: offset N: WHAT and exits with 1.\n";

constexpr char kRecordHelp[] =
    "usage: xmlc record INPUT -o EVENTS\n"
    "\n"
    "Parses INPUT with the reference host's parser, as a compile would, and writes\n"
    "the element events it delivers to EVENTS, for hosts that replay them without\n"
    "an XML parser (the Windows test host).\n";

constexpr char kInfoHelp[] =
    "usage: xmlc info [--plugin PATH]\n"
    "\n"
    "Loads the plug-in and prints its description, package name, components and namespace.\n";

int Usage(const std::string& message, const char* help) {
  std::cerr << "xmlc: " << message << "\n\n" << help;
  return kExitUsage;
}

bool ReadAll(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  bytes->clear();
  struct stat st;
  if (file != stdin && fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode)) {
    bytes->reserve(static_cast<std::size_t>(st.st_size));  // one exact allocation for files
  }
  std::uint8_t chunk[1 << 16];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
    bytes->insert(bytes->end(), chunk, chunk + n);
  const bool ok = std::ferror(file) == 0;
  if (!ok) *error = std::strerror(errno);
  if (file != stdin) std::fclose(file);
  return ok;
}

// Writes `bytes` to `path` through a temporary file in the same folder that is
// renamed over the target only once complete.
bool WriteAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                     std::string* error) {
  if (path == "-") {
    const bool ok = std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0;
    if (!ok) *error = std::strerror(errno);
    return ok;
  }
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = dir + "/." + base + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    *error = std::string("cannot create a temporary file in ") + dir + ": " + std::strerror(errno);
    return false;
  }
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  const bool complete = written == size;
  const int savedErrno = errno;
  fchmod(fd, g_fileMode);  // mkstemp made it 0600
  if (close(fd) != 0 || !complete || rename(temp.c_str(), path.c_str()) != 0) {
    *error = std::strerror(complete ? errno : savedErrno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// The message of a failed compile, as "FILE:LINE:COL: error: ..." or "FILE: error: ...".
std::string FailureMessage(const std::string& file, const CompilerSession::Result& r) {
  if (r.parse.failed) {
    return file + ":" + std::to_string(r.parse.line) + ":" + std::to_string(r.parse.column) +
           ": error: " + r.parse.message;
  }
  std::string cause;
  switch (static_cast<std::uint32_t>(r.hr)) {
    case 0x8007000Eu:
      cause =
          "layout expansion over its bound (more than 1,000,000 copied elements and 100 times "
          "the document's elements), or out of memory";
      break;
    case 0x80070057u:
      cause =
          "a name or value longer than 16,777,215 bytes, or a compiled document larger than 4 GB";
      break;
    case 0x80004005u:
      cause = "no root element";
      break;
    default:
      cause = "compile failed with " + oxa::host::ResultText(r.hr);
  }
  return file + ": error: " + cause;
}

std::string OutputFor(const std::string& input, const std::string& outDir) {
  const std::size_t slash = input.rfind('/');
  std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0)
    name.resize(name.size() - 4);
  return outDir + "/" + name + ".xmlc";
}

std::unique_ptr<PluginHost> LoadPlugin(const std::string& path) {
  std::string error;
  auto host = PluginHost::Load(path, &error);
  if (!host) std::cerr << "xmlc: " << error << '\n';
  return host;
}

int Compile(const std::vector<std::string>& args, const char* argv0) {
  std::vector<std::string> inputs;
  std::string output, outDir, plugin;
  unsigned workers = 1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* into) {
      if (i + 1 == args.size()) return false;
      *into = args[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      std::cout << kCompileHelp;
      return kExitOk;
    } else if (a == "-o") {
      if (!value(&output)) return Usage("-o needs a file", kCompileHelp);
    } else if (a == "-d") {
      if (!value(&outDir)) return Usage("-d needs a folder", kCompileHelp);
    } else if (a == "--plugin") {
      if (!value(&plugin)) return Usage("--plugin needs a path", kCompileHelp);
    } else if (a == "-j") {
      std::string n;
      if (!value(&n) || n.empty() || n.find_first_not_of("0123456789") != std::string::npos ||
          std::stoul(n) == 0 || std::stoul(n) > 256) {
        return Usage("-j needs a number of workers from 1 to 256", kCompileHelp);
      }
      workers = static_cast<unsigned>(std::stoul(n));
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option " + a, kCompileHelp);
    } else {
      inputs.push_back(a);
    }
  }
  if (inputs.empty()) return Usage("no input", kCompileHelp);
  if (output.empty() == outDir.empty())
    return Usage("give either -o OUTPUT or -d OUTDIR", kCompileHelp);
  if (!output.empty() && inputs.size() != 1)
    return Usage("-o takes one input; use -d for several", kCompileHelp);
  if (!outDir.empty()) {
    std::set<std::string> targets;
    for (const auto& in : inputs) {
      if (in == "-") return Usage("standard input needs -o", kCompileHelp);
      if (!targets.insert(OutputFor(in, outDir)).second) {
        return Usage("two inputs would write " + OutputFor(in, outDir), kCompileHelp);
      }
    }
  }

  auto host = LoadPlugin(plugin.empty() ? oxa::host::DefaultPluginPath(argv0) : plugin);
  if (!host) return kExitFailed;
  if (workers > inputs.size()) workers = static_cast<unsigned>(inputs.size());
  std::vector<std::unique_ptr<CompilerSession>> sessions(workers);
  for (auto& session : sessions) {
    const HResult hr = host->CreateSession(&session);
    if (oxa::Failed(hr)) {
      std::cerr << "xmlc: cannot create a compiler: " << oxa::host::ResultText(hr) << '\n';
      return kExitFailed;
    }
  }

  std::atomic<std::size_t> next{0}, done{0}, failed{0};
  std::mutex printing;
  const bool progress = inputs.size() > 1 && isatty(STDERR_FILENO);
  auto work = [&](CompilerSession& session) {
    for (std::size_t i; (i = next++) < inputs.size();) {
      const std::string& input = inputs[i];
      const std::string target = output.empty() ? OutputFor(input, outDir) : output;
      const std::string shown = input == "-" ? "<stdin>" : input;
      std::string message, error;
      std::vector<std::uint8_t> document;
      if (!ReadAll(input, &document, &error)) {
        message = shown + ": error: cannot read: " + error;
      } else {
        const CompilerSession::Result r = session.Compile(std::move(document));
        if (oxa::Failed(r.hr)) {
          message = FailureMessage(shown, r);
        } else if (!WriteAtomically(target, r.Data(), r.Size(), &error)) {
          message = target + ": error: cannot write: " + error;
        }
      }
      std::lock_guard<std::mutex> lock(printing);
      ++done;
      if (progress) std::cerr << "\r\033[K";
      if (!message.empty()) {
        ++failed;
        std::cerr << message << '\n';
      }
      if (progress) std::cerr << "[" << done << "/" << inputs.size() << "] compiled" << std::flush;
    }
  };
  std::vector<std::thread> threads;
  for (unsigned w = 1; w < workers; ++w) threads.emplace_back(work, std::ref(*sessions[w]));
  work(*sessions[0]);
  for (auto& t : threads) t.join();
  if (progress) std::cerr << "\r\033[K";
  sessions.clear();
  return failed == 0 ? kExitOk : kExitFailed;
}

int Dump(const std::vector<std::string>& args) {
  std::string file, format = "xml";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::cout << kDumpHelp;
      return kExitOk;
    } else if (args[i] == "--format") {
      if (i + 1 == args.size()) return Usage("--format needs xml, tree or chunks", kDumpHelp);
      format = args[++i];
    } else if (args[i].rfind("--format=", 0) == 0) {
      format = args[i].substr(9);
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return Usage("unknown option " + args[i], kDumpHelp);
    } else if (file.empty()) {
      file = args[i];
    } else {
      return Usage("dump takes one file", kDumpHelp);
    }
  }
  if (file.empty()) return Usage("no file", kDumpHelp);
  if (format != "xml" && format != "tree" && format != "chunks") {
    return Usage("unknown format " + format, kDumpHelp);
  }
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadAll(file, &bytes, &error)) {
    std::cerr << file << ": error: cannot read: " << error << '\n';
    return kExitFailed;
  }
  oxa::tools::DecodedDocument doc;
  oxa::tools::DecodeError fault;
  if (!oxa::tools::Decode(bytes.data(), bytes.size(), &doc, &fault)) {
    std::cerr << file << ": offset " << fault.offset << ": " << fault.what << '\n';
    return kExitFailed;
  }
  std::ostringstream out;
  if (format == "xml") {
    oxa::tools::WriteXml(doc, out);
  } else if (format == "tree") {
    oxa::tools::WriteTree(doc, out);
  } else {
    oxa::tools::WriteChunks(doc, bytes.data(), out);
  }
  std::cout << out.str();
  return kExitOk;
}

std::string GuidText(const oxa::Guid& g) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

int Record(const std::vector<std::string>& args) {
  std::string input, output;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::cout << kRecordHelp;
      return kExitOk;
    } else if (args[i] == "-o" && i + 1 < args.size()) {
      output = args[++i];
    } else if (input.empty() && (args[i] == "-" || args[i][0] != '-')) {
      input = args[i];
    } else {
      return Usage("unknown argument " + args[i], kRecordHelp);
    }
  }
  if (input.empty() || output.empty()) return Usage("give INPUT and -o EVENTS", kRecordHelp);
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
  std::string plugin;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::cout << kInfoHelp;
      return kExitOk;
    } else if (args[i] == "--plugin" && i + 1 < args.size()) {
      plugin = args[++i];
    } else {
      return Usage("unknown argument " + args[i], kInfoHelp);
    }
  }
  auto host = LoadPlugin(plugin.empty() ? oxa::host::DefaultPluginPath(argv0) : plugin);
  if (!host) return kExitFailed;
  oxa::host::PluginDescription d;
  const HResult hr = host->Describe(&d);
  if (oxa::Failed(hr)) {
    std::cerr << "xmlc: the plug-in cannot describe itself: " << oxa::host::ResultText(hr) << '\n';
    return kExitFailed;
  }
  std::cout << "description: " << d.description << '\n'
            << "copyright:   " << d.copyright << '\n'
            << "package:     " << d.packageName << '\n'
            << "namespace:   " << d.namespaceUri << '\n';
  for (std::size_t i = 0; i < d.componentClassIds.size(); ++i) {
    std::cout << "component " << i << ": " << GuidText(d.componentClassIds[i]) << '\n';
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  const mode_t mask = umask(0);
  umask(mask);
  g_fileMode = 0666 & ~mask;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("no command", kMainHelp);
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kMainHelp;
    return kExitOk;
  }
  if (command == "--version") {
    std::cout << kVersion << '\n';
    return kExitOk;
  }
  try {
    if (command == "compile") return Compile(args, argv[0]);
    if (command == "dump") return Dump(args);
    if (command == "info") return Info(args, argv[0]);
    if (command == "record") return Record(args);
  } catch (const std::exception& e) {
    std::cerr << "xmlc: " << e.what() << '\n';
    return kExitFailed;
  }
  return Usage("unknown command " + command, kMainHelp);
}
