// Compile cost against bare parsing, on the same bytes in one run.
//
// For each document: the bare expat parse (namespace mode, callbacks that do
// nothing), the full compile through the deva3201 module and the reference
// host, and the check of the compiled result by the reader library. Peak
// memory is that of a fresh `xmlc compile` process above one compiling <r/>,
// per MB of input (it includes the input held in memory and the output),
// and with --xmlc32 also that of a 32-bit xmlc (the real target's widths).
// The tree floor is the time of the least work any builder of the element
// tree does (see TreeFloor), as a multiple of the bare parse. A last table
// splits the realistic documents' compiles into their phases. A whole-process
// table runs, interleaved, a bare parse, the floor (a bare parse that also
// writes the output's bytes) and xmlc compile as processes, each reading the
// document from a file, and gives the medians.
//
// usage: parse_vs_compile [--plugin PATH] [--xmlc32 PATH] [--sizes 0.1,1,10,100]
//                         [--only NAME] [--csv FILE]
//        parse_vs_compile --bare-parse-batch FILE...   (the bare parse of a batch, for bench/peers)
#include <expat.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <xmlcompiler/format/document_reader.h>
#include <xmlcompiler/host/legacy_encoding.h>
#include <xmlcompiler/host/plugin_host.h>
#include "compiler/document_writer.h"
#include "compiler/tree_builder.h"
#include "corpus.h"
#include "host/parse_into.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best of `runs` timings of `work`, in seconds.
double Best(int runs, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}

void BareParse(const std::string& doc) {
  XML_Parser parser = XML_ParserCreateNS(nullptr, ':');
  XML_SetElementHandler(parser, &NoStart, &NoEnd);
  if (XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), 1) != XML_STATUS_OK) {
    std::fprintf(stderr, "bare parse failed: %s\n", XML_ErrorString(XML_GetErrorCode(parser)));
    std::exit(1);
  }
  XML_ParserFree(parser);
}

// The element tree of `doc`, built by the compiler's own builder.
struct TreeOf {
  explicit TreeOf(const std::string& doc) {
    auto input = oxa::host::HostBuffer::Create();
    input->Bytes().assign(doc.begin(), doc.end());
    if (oxa::Failed(oxa::host::ParseInto(builder, input.Get())) || builder.Root() == nullptr)
      std::exit(1);
  }
  oxa::TreeBuilder builder;
};

// The least any builder of this tree does: one node per element, from a
// node arena, holding a copy of its name and of its attribute list (two
// shared string copies per attribute), appended to its parent; then freeing
// it all.
// Timed by copying a compiled tree node by node: no parser, no strings to
// find, no census, no writing.
double TreeFloor(const oxa::ElementNode* top, int runs) {
  oxa::NodeArena arena;
  return Best(runs, [top, &arena] {
    struct Frame {
      const oxa::ElementNode* source;
      oxa::ElementNode* copy;
      std::int32_t next;
    };
    auto* root = new (arena) oxa::ElementNode();
    root->name = top->name;
    root->attributes = top->attributes;
    std::vector<Frame> stack{{top, root, 0}};
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next == frame.source->ChildCount()) {
        stack.pop_back();
        continue;
      }
      const oxa::ElementNode* child = frame.source->Child(frame.next++);
      auto* copy = new (arena) oxa::ElementNode();
      copy->name = child->name;
      copy->attributes = child->attributes;
      copy->parent = frame.copy;
      oxa::AppendChild(frame.copy, copy);
      stack.push_back({child, copy, 0});
    }
    oxa::FreeTree(root);
    arena.Rewind();
  });
}

// Where a compile's time goes, in seconds, each phase the best of `runs`:
// expat with the host's callbacks delivering to nothing; building the tree
// (layout expansion and the index log included) beyond that; sorting the
// census; writing; freeing the tree.
struct Phases {
  double parse = 1e30, build = 1e30, census = 1e30, write = 1e30, reset = 1e30;
};

Phases TimePhases(const std::string& doc, int runs) {
  struct Nothing {
    void StartElement(const char*, oxa::IValues*) {}
    void EndElement(const char*) {}
  } nothing;
  auto input = oxa::host::HostBuffer::Create();
  input->Bytes().assign(doc.begin(), doc.end());
  Phases best;
  best.parse = Best(runs, [&] { oxa::host::ParseInto(nothing, input.Get()); });
  oxa::TreeBuilder builder;
  oxa::DocumentWriter writer;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    oxa::host::ParseInto(builder, input.Get());
    const auto t1 = Clock::now();
    builder.FinishParse();
    const auto t2 = Clock::now();
    writer.Compose(builder.Root(), builder.GetCensus(), builder.GetIndexLog());
    const auto t3 = Clock::now();
    builder.Reset();
    const auto t4 = Clock::now();
    writer.Rewind();
    const auto seconds = [](auto a, auto b) {
      return std::chrono::duration<double>(b - a).count();
    };
    best.build = std::min(best.build, seconds(t0, t1) - best.parse);
    best.census = std::min(best.census, seconds(t1, t2));
    best.write = std::min(best.write, seconds(t2, t3));
    best.reset = std::min(best.reset, seconds(t3, t4));
  }
  return best;
}

// Peak resident memory of a fresh `xmlc compile FILE -o -` (output discarded),
// in KB, as GNU time reports it. A process started directly from this large
// one would inherit its memory high-water mark across exec; GNU time forks
// the measured process from its own small image.
long XmlcPeakKb(const std::string& xmlc, const std::string& file) {
  const std::string report = file + ".rss";
  const std::string command = "/usr/bin/time -f %M -o '" + report + "' '" + xmlc + "' compile '" +
                              file + "' -o - > /dev/null";
  if (std::system(command.c_str()) != 0) return -1;
  std::ifstream in(report);
  long kb = -1;
  in >> kb;
  std::remove(report.c_str());
  return kb;
}

// Wall-clock seconds of running `args` as a process, its output to /dev/null.
double RunProcess(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::exit(1);
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
  return seconds;
}

// The child of the whole-process comparison: reads FILE, parses it bare, and
// with OUT and BYTES also writes BYTES bytes to OUT, as a compile writes its
// output: the least any compiling process does.
int BareParseProcess(int argc, char** argv) {
  std::string doc;
  std::FILE* in = std::fopen(argv[2], "rb");
  if (in == nullptr || std::fseek(in, 0, SEEK_END) != 0) return 1;
  doc.resize(static_cast<std::size_t>(std::ftell(in)));
  std::rewind(in);
  if (std::fread(doc.data(), 1, doc.size(), in) != doc.size()) return 1;
  std::fclose(in);
  BareParse(doc);
  if (argc == 5) {
    const std::vector<char> bytes(std::stoull(argv[4]), 'x');
    std::FILE* out = std::fopen(argv[3], "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0)
      return 1;
  }
  return 0;
}

// The bare parse of a batch, for the batch comparison: every FILE read and
// parsed in namespace mode with callbacks that do nothing, legacy encodings
// through the same iconv handler as the host's.
int BareParseBatch(int argc, char** argv) {
  std::string doc;
  for (int i = 2; i < argc; ++i) {
    std::FILE* in = std::fopen(argv[i], "rb");
    if (in == nullptr || std::fseek(in, 0, SEEK_END) != 0) return 1;
    doc.resize(static_cast<std::size_t>(std::ftell(in)));
    std::rewind(in);
    if (std::fread(doc.data(), 1, doc.size(), in) != doc.size()) return 1;
    std::fclose(in);
    XML_Parser parser = XML_ParserCreateNS(nullptr, ':');
    XML_SetElementHandler(parser, &NoStart, &NoEnd);
    XML_SetUnknownEncodingHandler(parser, &oxa::host::LegacyEncodingHandler, nullptr);
    if (XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), 1) != XML_STATUS_OK) {
      std::fprintf(stderr, "%s: bare parse failed: %s\n", argv[i],
                   XML_ErrorString(XML_GetErrorCode(parser)));
      return 1;
    }
    XML_ParserFree(parser);
  }
  return 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Row {
  std::string name;
  double inputMb, parse, compile, decode;
  long peakKb, peak32Kb;
  double outputMb, floor;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--bare-parse") return BareParseProcess(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "--bare-parse-batch") return BareParseBatch(argc, argv);
  std::string plugin = oxa::host::DefaultPluginPath(argv[0]);
  std::string csv, only, xmlc32;
  std::vector<double> sizes = {0.1, 1, 10, 100};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--plugin") plugin = argv[i + 1];
    if (a == "--csv") csv = argv[i + 1];
    if (a == "--only") only = argv[i + 1];
    if (a == "--xmlc32") xmlc32 = argv[i + 1];
    if (a == "--sizes") {
      sizes.clear();
      std::stringstream list(argv[i + 1]);
      for (std::string item; std::getline(list, item, ',');) sizes.push_back(std::stod(item));
    }
  }
  std::string error;
  auto host = oxa::host::PluginHost::Load(plugin, &error);
  if (!host) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<oxa::host::CompilerSession> session;
  if (oxa::Failed(host->CreateSession(&session))) return 1;
  const std::string xmlc = plugin.substr(0, plugin.rfind('/') + 1) + "xmlc";
  char selfPath[4096];
  const ssize_t selfLength = readlink("/proc/self/exe", selfPath, sizeof(selfPath) - 1);
  if (selfLength <= 0) return 1;
  const std::string self(selfPath, static_cast<std::size_t>(selfLength));
  const std::string scratch = "/tmp/parse_vs_compile." + std::to_string(getpid()) + ".xml";
  std::ofstream(scratch) << "<r/>";
  const long baselineKb = XmlcPeakKb(xmlc, scratch);
  const long baseline32Kb = xmlc32.empty() ? 0 : XmlcPeakKb(xmlc32, scratch);

  std::vector<std::pair<std::string, std::string>> documents;
  for (const double mb : sizes) {
    documents.emplace_back(
        "realistic " + std::to_string(mb).substr(0, std::to_string(mb).find('.') + 2) + " MB",
        oxa::bench::RealisticLayout(static_cast<std::size_t>(mb * 1e6)));
  }
  for (const std::size_t n : {10000, 100000, 1000000}) {
    documents.emplace_back("distinct strings " + std::to_string(n), oxa::bench::DistinctStrings(n));
  }
  documents.emplace_back("depth 1000000", oxa::bench::Deep(1000000));
  documents.emplace_back("width 1000000", oxa::bench::Wide(1000000));
  documents.emplace_back("copies 100000", oxa::bench::Copies(100000));

  std::vector<Row> rows;
  std::printf("%-24s %9s %10s %10s %7s %11s %10s %11s %13s %9s\n", "document", "input MB",
              "parse MB/s", "compile MB/s", "ratio", "tree floor", "decode MB/s", "peak/input",
              "peak32/input", "out MB");
  for (const auto& [name, doc] : documents) {
    if (!only.empty() && name.find(only) == std::string::npos) continue;
    const double mb = static_cast<double>(doc.size()) / 1e6;
    const int runs = mb > 50 ? 2 : mb > 5 ? 4 : 10;
    oxa::ComPtr<oxa::host::HostBuffer> input = oxa::host::HostBuffer::Create();
    input->Bytes().assign(doc.begin(), doc.end());
    oxa::host::CompilerSession::Result last;
    const double parse = Best(runs, [&] { BareParse(doc); });
    const double compile = Best(runs, [&] { last = session->Compile(input.Get()); });
    if (oxa::Failed(last.hr)) {
      std::fprintf(stderr, "%s: compile failed %s\n", name.c_str(),
                   oxa::host::ResultText(last.hr).c_str());
      return 1;
    }
    const double decode = Best(runs, [&] {
      oxa::reader::Document decoded;
      if (!oxa::reader::Document::Open(last.Data(), last.Size(), &decoded, nullptr)) std::exit(1);
    });
    double floor;
    {
      const TreeOf tree(doc);
      floor = TreeFloor(tree.builder.Root(), runs);
    }
    std::ofstream(scratch, std::ios::binary | std::ios::trunc) << doc;
    const long peak = XmlcPeakKb(xmlc, scratch) - baselineKb;
    const long peak32 = xmlc32.empty() ? 0 : XmlcPeakKb(xmlc32, scratch) - baseline32Kb;
    const Row row{name,   mb,   parse,  compile,
                  decode, peak, peak32, static_cast<double>(last.Size()) / 1e6,
                  floor};
    rows.push_back(row);
    char peak32Text[32] = "-";  // not measured without --xmlc32
    if (!xmlc32.empty())
      std::snprintf(peak32Text, sizeof(peak32Text), "%.2f", peak32 / 1024.0 / mb);
    std::printf("%-24s %9.2f %10.1f %12.1f %7.2f %11.2f %11.1f %11.2f %13s %9.2f\n", name.c_str(),
                mb, mb / parse, mb / compile, compile / parse, floor / parse, mb / decode,
                peak / 1024.0 / mb, peak32Text, row.outputMb);
    std::fflush(stdout);
  }

  // Whole processes, interleaved: a bare parse, the floor (a bare parse that
  // also writes the output's bytes) and xmlc compile, each reading the file.
  std::printf("\nwhole processes (median s)\n%-24s %10s %10s %10s %14s %12s\n", "document",
              "bare parse", "floor", "xmlc", "xmlc/parse", "floor/parse");
  const std::string output = scratch + ".xmlc";
  for (const auto& [name, doc] : documents) {
    if (name.rfind("realistic", 0) != 0) continue;
    if (!only.empty() && name.find(only) == std::string::npos) continue;
    std::ofstream(scratch, std::ios::binary | std::ios::trunc) << doc;
    const int runs = doc.size() > 50000000 ? 5 : 11;
    std::vector<double> bare, floor, compile;
    std::string bytes;
    for (const Row& r : rows) {
      if (r.name == name) bytes = std::to_string(static_cast<std::uint64_t>(r.outputMb * 1e6));
    }
    if (bytes.empty()) continue;
    for (int i = 0; i < runs; ++i) {
      bare.push_back(RunProcess({self, "--bare-parse", scratch}));
      floor.push_back(RunProcess({self, "--bare-parse", scratch, output, bytes}));
      compile.push_back(RunProcess({xmlc, "compile", "--plugin=" + plugin, scratch, "-o", output}));
    }
    const double p = Median(bare), f = Median(floor), c = Median(compile);
    std::printf("%-24s %10.3f %10.3f %10.3f %14.2f %12.2f\n", name.c_str(), p, f, c, c / p, f / p);
    std::fflush(stdout);
  }
  std::remove(output.c_str());
  std::remove(scratch.c_str());

  std::printf("\nwhere a compile's time goes (ms)\n%-24s %10s %10s %8s %8s %8s\n", "document",
              "expat+host", "tree", "census", "write", "free");
  for (const auto& [name, doc] : documents) {
    if (name.rfind("realistic", 0) != 0) continue;
    if (!only.empty() && name.find(only) == std::string::npos) continue;
    const Phases p = TimePhases(doc, doc.size() > 50000000 ? 2 : 4);
    std::printf("%-24s %10.1f %10.1f %8.1f %8.1f %8.1f\n", name.c_str(), p.parse * 1e3,
                p.build * 1e3, p.census * 1e3, p.write * 1e3, p.reset * 1e3);
  }
  if (!csv.empty()) {
    std::ofstream out(csv);
    out << "document,input_mb,parse_s,compile_s,decode_s,peak_mb,peak32_mb,output_mb,floor_s\n";
    for (const Row& r : rows) {
      out << r.name << ',' << r.inputMb << ',' << r.parse << ',' << r.compile << ',' << r.decode
          << ',' << r.peakKb / 1024.0 << ',' << r.peak32Kb / 1024.0 << ',' << r.outputMb << ','
          << r.floor << '\n';
    }
  }
  return 0;
}
