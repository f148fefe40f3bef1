// ObjectFrame: delegation, table lookup, aggregation.
#include "com/object_frame.h"

namespace oxa {

HResult OXA_CALL ObjectFrame::QueryInterface(const Guid& iid, void** out) {
  if (outerUnknown_ != nullptr) return outerUnknown_->QueryInterface(iid, out);
  return InternalQueryInterface(iid, out);
}

std::uint32_t OXA_CALL ObjectFrame::AddRef() {
  if (outerUnknown_ != nullptr) return outerUnknown_->AddRef();
  return InternalAddRef();
}

std::uint32_t OXA_CALL ObjectFrame::Release() {
  if (outerUnknown_ != nullptr) return outerUnknown_->Release();
  return InternalRelease();
}

std::uint32_t ObjectFrame::InternalAddRef() {
  return static_cast<std::uint32_t>(++refCount_);
}

std::uint32_t ObjectFrame::InternalRelease() {
  if (--refCount_ > 0) return static_cast<std::uint32_t>(refCount_);
  FinalRelease();
  delete this;
  return 0;
}

HResult ObjectFrame::QueryFromTable(const InterfaceEntry* table, const Guid& iid, void** out) {
  return AnswerFromTable(table, this, iid, out);
}

HResult ObjectFrame::GetInnerUnknown(IUnknown* outer, IUnknown** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  *out = nullptr;
  RETURN_HR_IF(kFail, refCount_ != 0);
  HResult hr;
  if (outer != nullptr) {
    auto* inner = new (std::nothrow) InnerUnknown(this);
    RETURN_HR_IF_NULL(kOutOfMemory, inner);
    outerUnknown_ = outer;
    innerUnknown_ = inner;
    inner->AddRef();
    hr = kOk;
  } else {
    hr = QueryInterface(kIidUnknown, reinterpret_cast<void**>(&innerUnknown_));
  }
  if (Succeeded(hr)) *out = innerUnknown_;
  return hr;
}

std::uint32_t OXA_CALL InnerUnknown::Release() {
  if (--refCount_ > 0) return static_cast<std::uint32_t>(refCount_);
  delete this;
  return 0;
}

}  // namespace oxa
