// Which findings are shown, and which warnings are errors, from the options
// gcc users know: -w, -Werror, -Wno-error, -Werror=KIND, -Wno-error=KIND,
// -WKIND, -Wno-KIND, -Wall and -Wextra. As in gcc, options are read in
// order (the last about a kind wins), -Werror=KIND turns KIND on,
// -Wno-error=KIND leaves it a warning under -Werror, and -w hides every
// warning, those made errors included.
#pragma once

#include <map>
#include <set>
#include <string>

namespace oxa::tools {

class WarningPolicy {
 public:
  // Applies `option`, written as it comes after "-W" ("error",
  // "no-unknown-layout", "all"). False for an option that is none of these,
  // with `error` set to the message: the option as `prefix` and `option`
  // spell it, and the nearest valid one when one is close.
  bool Apply(const std::string& option, const std::string& prefix, std::string* error);

  // -w: no warnings at all.
  void HideAll() { hideAll_ = true; }

  // Whether a finding of kind `kind` is shown (errors always are).
  bool Shows(const std::string& kind) const;

  // Whether a shown finding of kind `kind` is an error: an error kind, or a
  // warning that -Werror or -Werror=KIND made one.
  bool IsError(const std::string& kind) const;

 private:
  bool hideAll_ = false;
  bool allErrors_ = false;                // -Werror
  std::set<std::string> off_;             // -Wno-KIND
  std::map<std::string, bool> errorFor_;  // -Werror=KIND, -Wno-error=KIND
};

}  // namespace oxa::tools
