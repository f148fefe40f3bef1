// ObjectFrame: the base of every component object the library hands out.
// It counts references, finds interfaces through a static table, supports
// aggregation by an outer object, and gives the two-stage creation that every
// creation path goes through.
//
// A concrete class derives from ObjectWith<Interfaces...> (which supplies
// the three IUnknown operations of every interface as the frame's delegating
// ones) and implements InternalQueryInterface as
// QueryFromTable(FrameInterfaces<Class, I1, I2...>, iid, out).
#pragma once

#include <cstdint>
#include <new>

#include <xmlcompiler/com/boundary.h>
#include <xmlcompiler/com/interface_table.h>
#include <xmlcompiler/com/unknown.h>

namespace oxa {

class ObjectFrame;

// One row of a component's interface table: an id and how to reach that interface.
using InterfaceEntry = InterfaceRow<ObjectFrame>;

// The interface table of frame objects of class T that offer Interfaces, in
// this order after IUnknown (the frame itself, the object's main interface).
template <class T, class... Interfaces>
inline constexpr const InterfaceEntry* FrameInterfaces =
    InterfaceTable<ObjectFrame, T, Interfaces...>::kRows;

class ObjectFrame : public IUnknown {
 public:
  ObjectFrame(const ObjectFrame&) = delete;
  ObjectFrame& operator=(const ObjectFrame&) = delete;

  // Delegating operations: to the outer object when aggregated, else to the
  // object's own Internal* operations.
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OXA_CALL AddRef() override;
  std::uint32_t OXA_CALL Release() override;

  virtual ~ObjectFrame() = default;

  // Connects a fresh object (count 0) to its creator: with an outer object,
  // `out` receives a new InnerUnknown; without, the object's main interface.
  // Either holds one reference. Fails with 0x80004005 once handed out.
  virtual HResult GetInnerUnknown(IUnknown* outer, IUnknown** out);
  virtual HResult InternalQueryInterface(const Guid& iid, void** out) = 0;
  virtual std::uint32_t InternalAddRef();
  // At 0 runs FinalRelease and deletes the object.
  virtual std::uint32_t InternalRelease();
  // Second construction stage, run under a temporary reference.
  virtual HResult FinalConstruct() { return kOk; }
  virtual void FinalRelease() {}

  // The object's main interface, its identity as IUnknown.
  IUnknown* MainUnknown() noexcept { return this; }
  std::int32_t RefCountForTesting() const noexcept { return refCount_; }

  // First creation stage: allocates and constructs a T, runs FinalConstruct
  // under a temporary reference, and leaves the object with count 0 in `out`
  // (null on failure: 0x8007000E when memory runs out, or FinalConstruct's result).
  template <class T>
  static HResult CreateObject(T** out) noexcept {
    *out = nullptr;
    T* object = nullptr;
    RETURN_IF_FAILED(Guarded([&] {
      object = new T();
      return kOk;
    }));
    ++object->refCount_;
    const HResult hr = object->FinalConstruct();
    --object->refCount_;
    if (Failed(hr)) {
      delete object;
      return hr;
    }
    *out = object;
    return kOk;
  }

  // Second stage: creates a T and hands its unknown to `out` with one reference
  // (an InnerUnknown when `outer` aggregates it). The catalogue stores this function.
  template <class T>
  static HResult OXA_CALL CreateComponent(IUnknown* outer, IUnknown** out) noexcept {
    RETURN_HR_IF_NULL(kNullPointer, out);
    *out = nullptr;
    T* object = nullptr;
    RETURN_IF_FAILED(CreateObject(&object));
    const HResult hr = object->GetInnerUnknown(outer, out);
    if (Failed(hr)) delete object;  // still fresh: nothing else holds it
    return hr;
  }

 protected:
  ObjectFrame() noexcept = default;

  // The interface lookup of every class: `table` in order, IUnknown first.
  // On a match adds a reference through the delegating AddRef.
  HResult QueryFromTable(const InterfaceEntry* table, const Guid& iid, void** out);

 private:
  friend class InnerUnknown;

  std::int32_t refCount_ = 0;
  IUnknown* outerUnknown_ = nullptr;  // no reference held
  IUnknown* innerUnknown_ = this;
};

// The separate unknown an aggregated object gives its outer object. It owns
// the frame object: destroying the InnerUnknown destroys the object.
class InnerUnknown final : public IUnknown {
 public:
  explicit InnerUnknown(ObjectFrame* owner) noexcept : owner_(owner) {}
  virtual ~InnerUnknown() { delete owner_; }

  // The owner's own lookup: the count raised is the outer object's.
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    return owner_->InternalQueryInterface(iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return static_cast<std::uint32_t>(++refCount_); }
  std::uint32_t OXA_CALL Release() override;

 private:
  std::int32_t refCount_ = 0;
  ObjectFrame* owner_;
};

// The frame plus interfaces: every interface's QueryInterface, AddRef and
// Release are the frame's delegating operations on the whole object.
template <class... Interfaces>
class ObjectWith : public ObjectFrame, public Interfaces... {
 public:
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    return ObjectFrame::QueryInterface(iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return ObjectFrame::AddRef(); }
  std::uint32_t OXA_CALL Release() override { return ObjectFrame::Release(); }
};

}  // namespace oxa
