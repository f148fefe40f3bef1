// Must not compile: RETURN_IF_FAILED given a bool. OXA_MISUSE picks the
// misuse; without it the file compiles, which shows the check is the reason.
#include <xmlcompiler/com/result.h>

namespace {

bool Flag() {
  return true;
}
oxa::HResult Code() {
  return oxa::kOk;
}

oxa::HResult Caller() {
  RETURN_IF_FAILED(Code());
#ifdef OXA_MISUSE
  RETURN_IF_FAILED(Flag());
#endif
  RETURN_HR_IF(oxa::kFail, !Flag());
  return oxa::kOk;
}

}  // namespace

int main() {
  return Caller();
}
