// CompilerPlugin and the library's component table.
#include "plugin/compiler_plugin.h"

#include "compiler/tree_builder.h"
#include "compiler/xml_compiler.h"

namespace oxa {

const ComponentEntry ComponentTable[] = {
    {EntryComponent, nullptr, &kClsidXmlCompiler, 0, &XmlCompiler::CreateComponent},
    {EntryEnd, nullptr, nullptr, 0, nullptr},
};

CompilerPlugin::CompilerPlugin() : ComponentPluginBase(ComponentTable, CompilerNamespaceUri) {}

HResult OXA_CALL CompilerPlugin::GetPluginInfo(std::uint32_t* flag, const char** description,
                                               const char** copyright, const char** infoText,
                                               std::uint32_t* number) {
  RETURN_HR_IF(kNullPointer, flag == nullptr || description == nullptr || copyright == nullptr ||
                                 infoText == nullptr || number == nullptr);
  *flag = 1;
  *description = kDescription;
  *copyright = kCopyright;
  *infoText = "";
  *number = 1;
  return kOk;
}

}  // namespace oxa
