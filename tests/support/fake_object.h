// The base of the counting fakes: a QueryInterface answered from the table of
// the interfaces the fake offers, as every real object answers, and counts of
// the references taken and held. No fake deletes itself, so tests can check
// the counts after each path.
#pragma once

#include <cstdint>

#include <xmlcompiler/com/interface_table.h>

namespace oxa::testing {

// Reference counts shared by the fakes.
class Counted {
 public:
  // References held now.
  int refCount() const { return refCount_; }
  // AddRef calls so far, the ones QueryInterface makes included.
  int addRefs() const { return addRefs_; }

 protected:
  std::uint32_t Add() {
    ++addRefs_;
    return static_cast<std::uint32_t>(++refCount_);
  }
  std::uint32_t Drop() { return static_cast<std::uint32_t>(--refCount_); }

 private:
  int refCount_ = 0;
  int addRefs_ = 0;
};

// A counted fake of class Self that offers Interfaces.
template <class Self, class... Interfaces>
class FakeObject : public Interfaces..., public Counted {
 public:
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    return AnswerFromTable(InterfaceTable<Self, Self, Interfaces...>::kRows,
                           static_cast<Self*>(this), iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return Add(); }
  std::uint32_t OXA_CALL Release() override { return Drop(); }
};

}  // namespace oxa::testing
