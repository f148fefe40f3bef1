// CompilerPlugin: the plug-in object of this library, the catalogue of its
// one component (the XML compiler) and its namespace.
#pragma once

#include "plugin/component_plugin_base.h"

namespace oxa {

class CompilerPlugin final : public ComponentPluginBase {
 public:
  static constexpr char kDescription[] = "Xml compiler DLL";
  static constexpr char kCopyright[] = OXA_COPYRIGHT;  // the version resource's too
  static constexpr char kPackageName[] = "xmlcompiler";

  CompilerPlugin();

  // Stores 1, the description, the copyright, an empty text and 1.
  HResult OXA_CALL GetPluginInfo(std::uint32_t* flag, const char** description,
                                 const char** copyright, const char** infoText,
                                 std::uint32_t* number) override;
  const char* OXA_CALL GetPackageName() override { return kPackageName; }

  static HResult OXA_CALL CreateComponent(IUnknown* outer, IUnknown** out) {
    return ObjectFrame::CreateComponent<CompilerPlugin>(outer, out);
  }
};

}  // namespace oxa
