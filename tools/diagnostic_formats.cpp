// The json and sarif renderings of xmlc's diagnostics, through nlohmann-json.
#include <nlohmann/json.hpp>

#include "diagnostics.h"
#include "platform.h"

namespace oxa::tools {
namespace {

using nlohmann::json;

json JsonPlace(const std::string& file, const Position& at) {
  return {{"file", file}, {"line", at.line}, {"column", at.column}};
}

// `length`: the characters from `at` the location covers (0: a point).
json SarifLocation(const std::string& file, const Position& at, std::uint32_t length) {
  json physical = {{"artifactLocation", {{"uri", xmlc::platform::FileUri(file)}}}};
  if (at.line != 0) physical["region"] = {{"startLine", at.line}, {"startColumn", at.column}};
  if (at.line != 0 && length != 0) physical["region"]["endColumn"] = at.column + length;
  return {{"physicalLocation", physical}};
}

// What each warning kind is about, for the SARIF rules.
const char* RuleText(const std::string& kind) {
  if (kind == "missing-layoutid")
    return "A directive without a \"layoutid\" attribute, or with an empty one";
  if (kind == "unknown-layout")
    return "A directive whose \"layoutid\" matches no element before it";
  if (kind == "empty-layout") return "The element a directive names has no children there";
  if (kind == "duplicate-id") return "Several elements carry an id that a directive names";
  if (kind == "not-a-directive")
    return "An element named like the directive in another namespace or case";
  if (kind == "text-dropped") return "Character data, which the compiled format does not keep";
  if (kind == "encoding-mismatch")
    return "A declared encoding that the document's bytes contradict";
  return "";
}

}  // namespace

std::string JsonOf(const std::vector<Record>& records) {
  json all = json::array();
  for (const Record& r : records) {
    json notes = json::array();
    for (const Record::Note& n : r.notes) {
      json note = JsonPlace(r.file, n.at);
      note["message"] = n.message;
      notes.push_back(note);
    }
    json fixits = json::array();
    for (const FixIt& f : r.fixits) {
      fixits.push_back({{"line", f.start.line},
                        {"column", f.start.column},
                        {"endLine", f.end.line},
                        {"endColumn", f.end.column},
                        {"replacement", f.replacement}});
    }
    json one = JsonPlace(r.file, r.at);
    one["severity"] = r.error ? "error" : "warning";
    one["kind"] = r.kind.empty() ? json(nullptr) : json(r.kind);
    one["message"] = r.message;
    one["notes"] = notes;
    one["fixits"] = fixits;
    all.push_back(one);
  }
  return all.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string SarifOf(const std::vector<Record>& records, const std::string& version) {
  json rules = json::array();
  for (const std::string& kind : WarningKinds()) {
    rules.push_back({{"id", kind},
                     {"name", kind},
                     {"shortDescription", {{"text", RuleText(kind)}}},
                     {"helpUri", "man:xmlc(1)"}});
  }
  json results = json::array();
  for (const Record& r : records) {
    json result = {{"level", r.error ? "error" : "warning"},
                   {"message", {{"text", r.message}}},
                   {"locations", json::array({SarifLocation(r.file, r.at, r.length)})}};
    if (!r.kind.empty()) result["ruleId"] = r.kind;
    if (!r.notes.empty()) {
      json related = json::array();
      for (std::size_t i = 0; i < r.notes.size(); ++i) {
        json location = SarifLocation(r.file, r.notes[i].at, r.notes[i].length);
        location["id"] = i;
        location["message"] = {{"text", r.notes[i].message}};
        related.push_back(location);
      }
      result["relatedLocations"] = related;
    }
    if (!r.fixits.empty()) {
      json replacements = json::array();
      for (const FixIt& f : r.fixits) {
        replacements.push_back({{"deletedRegion",
                                 {{"startLine", f.start.line},
                                  {"startColumn", f.start.column},
                                  {"endLine", f.end.line},
                                  {"endColumn", f.end.column}}},
                                {"insertedContent", {{"text", f.replacement}}}});
      }
      result["fixes"] = json::array(
          {{{"description", {{"text", "replace with \"" + r.fixits[0].replacement + "\""}}},
            {"artifactChanges",
             json::array({{{"artifactLocation", {{"uri", xmlc::platform::FileUri(r.file)}}},
                           {"replacements", replacements}}})}}});
    }
    results.push_back(result);
  }
  const json log = {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                    {"version", "2.1.0"},
                    {"runs", json::array({{{"tool",
                                            {{"driver",
                                              {{"name", "xmlc"},
                                               {"version", version},
                                               {"informationUri", "man:xmlc(1)"},
                                               {"rules", rules}}}}},
                                           {"columnKind", "unicodeCodePoints"},
                                           {"results", results}}})}};
  return log.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace oxa::tools
