// The JSON and SARIF renderings of the findings, through nlohmann-json.
#include "render/structured.h"

#include <cctype>
#include <span>

#include <nlohmann/json.hpp>

#include "diagnostics/finding_kinds.h"

namespace oxa::tools {
namespace {

using nlohmann::json;

// A place's file, its line and column where it has them, and the end of
// the `length` characters it concerns (on the same line) where there are any.
json JsonPlace(const std::string& file, const Position& at, std::uint32_t length) {
  json place = {{"file", file}};
  if (at.line != 0) {
    place["line"] = at.line;
    place["column"] = at.column;
    if (length != 0) {
      place["endLine"] = at.line;
      place["endColumn"] = at.column + length;
    }
  }
  return place;
}

// `length`: the characters from `at` the location covers (0: a point). A
// place without a position (a file that cannot be read) is the point
// before the file's first byte.
json SarifLocation(const std::string& uri, const Position& at, std::uint32_t length) {
  json physical = {{"artifactLocation", {{"uri", uri}}}};
  if (at.line == 0) {
    physical["region"] = {{"byteOffset", 0}, {"byteLength", 0}};
  } else {
    physical["region"] = {{"startLine", at.line}, {"startColumn", at.column}};
    if (length != 0) physical["region"]["endColumn"] = at.column + length;
  }
  return {{"physicalLocation", physical}};
}

// The table row of `kind`; the compile failure's for a kind it does not hold.
const FindingKindInfo& KindInfo(const std::string& kind) {
  const FindingKindInfo* info = FindKind(kind);
  return info != nullptr ? *info : *FindKind(kCompileFailed);
}

// SARIF's rules: one per finding kind, from the table of kinds. The same
// for every log, so made once.
const json& Rules() {
  static const json rules = [] {
    json all = json::array();
    for (const FindingKindInfo& kind : FindingKinds()) {
      std::string help = std::string(kind.help) + " (" + kind.name + ")";
      help[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(help[0])));
      const std::string more =
          kind.warning ? std::string("A warning: -Wno-") + kind.name +
                             " turns it off, and -Werror=" + kind.name + " makes it an error."
                       : std::string("An error: the document does not compile.");
      all.push_back({{"id", kind.ruleId},
                     {"name", kind.ruleName},
                     {"shortDescription", {{"text", help + "."}}},
                     {"fullDescription", {{"text", help + ". " + more}}},
                     {"help", {{"text", help + ". " + more + " See xmlc(1)."}}},
                     {"helpUri", "man:xmlc(1)"},
                     {"defaultConfiguration", {{"level", kind.warning ? "warning" : "error"}}}});
    }
    return all;
  }();
  return rules;
}

}  // namespace

std::string JsonOf(const std::vector<Record>& records) {
  json all = json::array();
  for (const Record& r : records) {
    json notes = json::array();
    for (const Note& n : r.notes) {
      json note = JsonPlace(r.file, n.at, n.length);
      note["message"] = n.message;
      notes.push_back(note);
    }
    json fixits = json::array();
    for (const FixIt& f : r.fixits) {
      fixits.push_back({{"line", f.start.line},
                        {"column", f.start.column},
                        {"endLine", f.end.line},
                        {"endColumn", f.end.column},
                        {"replacement", f.replacement},
                        {"action", ActionName(f.WhatItDoes())},
                        {"certain", f.certain}});
    }
    json one = JsonPlace(r.file, r.at, r.length);
    one["severity"] = r.error ? "error" : "warning";
    const FindingKindInfo& kind = KindInfo(r.kind);
    one["kind"] = kind.name;
    one["option"] = kind.warning ? json(std::string("-W") + kind.name) : json(nullptr);
    one["message"] = r.message;
    one["notes"] = notes;
    one["fixits"] = fixits;
    all.push_back(one);
  }
  return all.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string SarifOf(const std::vector<Record>& records, const std::string& version,
                    const std::function<std::string(const std::string&)>& uriOf) {
  const std::span<const FindingKindInfo> kinds = FindingKinds();
  json results = json::array();
  for (const Record& r : records) {
    const FindingKindInfo& kind = KindInfo(r.kind);
    const std::string uri = uriOf(r.file);
    json result = {{"ruleId", kind.ruleId},
                   {"ruleIndex", &kind - kinds.data()},
                   {"level", r.error ? "error" : "warning"},
                   {"message", {{"text", r.message}}},
                   {"locations", json::array({SarifLocation(uri, r.at, r.length)})}};
    if (!r.notes.empty()) {
      json related = json::array();
      for (std::size_t i = 0; i < r.notes.size(); ++i) {
        json location = SarifLocation(uri, r.notes[i].at, r.notes[i].length);
        location["id"] = i;
        location["message"] = {{"text", r.notes[i].message}};
        related.push_back(location);
      }
      result["relatedLocations"] = related;
    }
    if (!r.fixits.empty()) {
      json replacements = json::array();
      std::string description;  // each edit's words, the suggestions said to be so
      bool certain = true;
      for (const FixIt& f : r.fixits) {
        description += (description.empty() ? "" : "; ") + Describe(f);
        certain = certain && f.certain;
        replacements.push_back({{"deletedRegion",
                                 {{"startLine", f.start.line},
                                  {"startColumn", f.start.column},
                                  {"endLine", f.end.line},
                                  {"endColumn", f.end.column}}},
                                {"insertedContent", {{"text", f.replacement}}}});
      }
      if (!certain) description = "suggestion: " + description;
      description[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(description[0])));
      result["fixes"] = json::array(
          {{{"description", {{"text", description}}},
            {"artifactChanges",
             json::array({{{"artifactLocation", {{"uri", uri}}}, {"replacements", replacements}}})},
            {"properties", {{"certain", certain}}}}});
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
                                               {"rules", Rules()}}}}},
                                           {"columnKind", "unicodeCodePoints"},
                                           {"results", results}}})}};
  return log.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace oxa::tools
