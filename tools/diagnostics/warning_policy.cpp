// WarningPolicy: gcc's grammar of warning options over the table of kinds.
#include "diagnostics/warning_policy.h"

#include <vector>

#include "diagnostics/finding_kinds.h"
#include "diagnostics/suggestions.h"

namespace oxa::tools {
namespace {

// The warning kind `name`, or null.
const FindingKindInfo* WarningKind(const std::string& name) {
  const FindingKindInfo* kind = FindKind(name);
  return kind != nullptr && kind->warning ? kind : nullptr;
}

// Every option Apply takes, as written after "-W".
std::vector<std::string> ValidOptions() {
  std::vector<std::string> options = {"error", "no-error", "all", "extra"};
  for (const FindingKindInfo& kind : FindingKinds()) {
    if (!kind.warning) continue;
    const std::string name = kind.name;
    options.insert(options.end(), {name, "no-" + name, "error=" + name, "no-error=" + name});
  }
  return options;
}

}  // namespace

bool WarningPolicy::Apply(const std::string& option, const std::string& prefix,
                          std::string* error) {
  if (option == "error" || option == "no-error") {
    allErrors_ = option == "error";
    return true;
  }
  if (option == "all" || option == "extra") return true;  // every warning is on unless turned off
  const bool negated = option.rfind("no-", 0) == 0;
  const std::string rest = negated ? option.substr(3) : option;
  const bool asError = rest.rfind("error=", 0) == 0;
  const std::string name = asError ? rest.substr(6) : rest;
  if (const FindingKindInfo* kind = WarningKind(name)) {
    if (asError) {
      errorFor_[kind->name] = !negated;
      if (!negated) off_.erase(kind->name);  // -Werror=KIND turns KIND on
    } else if (negated) {
      off_.insert(kind->name);
    } else {
      off_.erase(kind->name);
    }
    return true;
  }
  if (const FindingKindInfo* kind = FindKind(name)) {
    *error = "'" + prefix + option + "': " + kind->name +
             " is an error, not a warning: no option turns it off or on";
    return false;
  }
  *error = "unknown warning option '" + prefix + option + "'";
  const std::string closest = Closest(option, ValidOptions());
  if (!closest.empty()) *error += "; did you mean '" + prefix + closest + "'?";
  return false;
}

bool WarningPolicy::Shows(const std::string& kind) const {
  if (WarningKind(kind) == nullptr) return true;
  return !hideAll_ && off_.count(kind) == 0;
}

bool WarningPolicy::IsError(const std::string& kind) const {
  if (WarningKind(kind) == nullptr) return true;
  const auto chosen = errorFor_.find(kind);
  return chosen != errorFor_.end() ? chosen->second : allErrors_;
}

}  // namespace oxa::tools
