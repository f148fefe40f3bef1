// Definitions of the module's static objects. Both live in this one file so
// that their construction order is the order of definition.
#include "entry/module_objects.h"

#include "base/byte_string.h"

namespace oxa {
namespace {

DllAccessPaths g_accessPaths;

}  // namespace

const ByteString SharedEmptyString;

DllAccessPaths& ModuleAccessPaths() noexcept {
  return g_accessPaths;
}

}  // namespace oxa
