// Arbitrary bytes through xmlc check's report path: the compile, the
// findings, the second parse that places them, and the text, JSON and SARIF
// renderings. Whatever the input, nothing may crash or leak, a failed compile
// must be reported as an error, and the JSON and the SARIF log (made for a
// sample of the inputs) must parse back with one entry per diagnostic.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/host_objects.h>
#include "compiler/xml_compiler.h"
#include "diagnostics/diagnostics.h"
#include "render/structured.h"
#include "render/text.h"
#include "support/compiler_fixture.h"

namespace {

// FNV-1a of the input: the same input is always checked the same way.
std::uint32_t Hash(const std::uint8_t* data, std::size_t size) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace tools = oxa::tools;
  static auto* fixture = new oxa::fuzzing::CompilerFixture();
  const oxa::host::CompilerSession::Result result = oxa::fuzzing::Compile(*fixture, data, size);
  tools::WarningPolicy policy;
  std::string error;
  if (size > 0 && (data[0] & 1) != 0) policy.Apply("error", "-W", &error);  // -Werror on half
  const bool color = size > 0 && (data[0] & 2) != 0;                        // colours on half
  const tools::Compilation compilation = tools::CompilationOf(result);
  std::vector<tools::Record> records;
  std::string text;
  if (!tools::NothingToReport(compilation)) {
    const tools::SourceText source(data, size);
    tools::Diagnosis diagnosis = tools::Diagnose(compilation, source, {});
    tools::ApplyPolicy(policy, &diagnosis.records);
    for (tools::Record& r : diagnosis.records) r.file = "fuzz.xml";
    text = tools::RenderText(diagnosis.records, &diagnosis.TextFor(source), color);
    records = std::move(diagnosis.records);
  }
  if (oxa::Failed(result.hr) && !tools::AnyError(records)) std::abort();
  if (records.empty() != text.empty()) std::abort();

  // The JSON array and the SARIF log are one per run, not one per document,
  // and the text is what every document gets: the JSON is made and read
  // back for one input in eight, the SARIF log (most of it the rules) for
  // one in sixty-four, chosen by the bytes, so that the report path's own
  // work sets the pace.
  const std::uint32_t hash = Hash(data, size);
  if (hash % 8 != 0) return 0;
  const std::string json = tools::JsonOf(records);
  const nlohmann::json parsed = nlohmann::json::parse(json, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_array() || parsed.size() != records.size()) std::abort();
  if (hash % 64 != 0) return 0;
  const nlohmann::json sarif = nlohmann::json::parse(
      tools::SarifOf(records, "0", [](const std::string& file) { return file; }), nullptr, false);
  if (sarif.is_discarded() || sarif["runs"].size() != 1 ||
      sarif["runs"][0]["results"].size() != records.size())
    std::abort();
  for (const nlohmann::json& r : sarif["runs"][0]["results"]) {
    if (!r.contains("ruleId")) std::abort();  // code scanning refuses a result without a rule
  }
  return 0;
}
