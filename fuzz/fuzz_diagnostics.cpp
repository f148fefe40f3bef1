// Arbitrary bytes through xmlc check's report path: the compile, the
// findings, the second parse that places them, and the text, JSON and SARIF
// renderings. Whatever the input, nothing may crash or leak, a failed compile
// must be reported as an error, and the JSON and the SARIF log must parse back
// with one entry per diagnostic.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/host_objects.h>
#include "compiler/xml_compiler.h"
#include "compiler_fixture.h"
#include "diagnostics.h"

namespace {

using Fixture = oxa::fuzzing::CompilerFixture;

// The compile of `data` as a host session reports it.
oxa::host::CompilerSession::Result Compile(Fixture& fixture, const std::uint8_t* data,
                                           std::size_t size) {
  oxa::host::CompilerSession::Result result;
  oxa::ComPtr<oxa::host::HostBuffer> input = oxa::host::HostBuffer::Create();
  input->Bytes().assign(data, data + size);
  result.hr = fixture.compiler->Compile(input.Get(), result.output.Put());
  result.parse = fixture.factory->LastParse();
  result.input = oxa::ComPtr<oxa::IBuffer>(input.Get());
  std::uint32_t count = 0;
  if (fixture.diagnostics->GetFindingCount(&count) != oxa::kOk) std::abort();
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t kind, element, related;
    const char* text = nullptr;
    const char* other = nullptr;
    if (fixture.diagnostics->GetFinding(i, &kind, &element, &related, &text, &other) != oxa::kOk)
      std::abort();
    result.findings.push_back({static_cast<oxa::FindingKind>(kind), element, related, text, other});
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture* fixture = new Fixture();
  const oxa::host::CompilerSession::Result result = Compile(*fixture, data, size);
  oxa::tools::WarningPolicy policy;
  std::string error;
  if (size > 0 && (data[0] & 1) != 0) policy.Apply("error", "-W", &error);  // -Werror on half
  const bool color = size > 0 && (data[0] & 2) != 0;                        // colours on half
  const oxa::tools::Diagnosis diagnosis = oxa::tools::Diagnose("fuzz.xml", result, policy, color);
  if (oxa::Failed(result.hr) && (!diagnosis.failed || diagnosis.errors == 0)) std::abort();
  if (diagnosis.records.empty() != diagnosis.text.empty()) std::abort();

  const nlohmann::json json =
      nlohmann::json::parse(oxa::tools::JsonOf(diagnosis.records), nullptr, false);
  if (json.is_discarded() || !json.is_array() || json.size() != diagnosis.records.size())
    std::abort();
  const nlohmann::json sarif =
      nlohmann::json::parse(oxa::tools::SarifOf(diagnosis.records, "0"), nullptr, false);
  if (sarif.is_discarded() || sarif["runs"].size() != 1 ||
      sarif["runs"][0]["results"].size() != diagnosis.records.size())
    std::abort();
  for (const nlohmann::json& r : sarif["runs"][0]["results"]) {
    if (!r.contains("ruleId")) std::abort();  // code scanning refuses a result without a rule
  }
  return 0;
}
