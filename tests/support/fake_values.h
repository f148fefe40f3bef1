// FakeValues: an in-test property set (IValues) that keeps properties in
// insertion order and counts the references taken on it and on its buffers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/host.h>
#include <xmlcompiler/com/interface_table.h>
#include "com/simple_buffer.h"

namespace oxa::testing {

class FakeValues final : public IValues {
 public:
  enum class Kind { UInt32, Buffer, String };
  struct Property {
    std::string name;
    Kind kind;
    std::uint32_t number = 0;
    ComPtr<IBuffer> buffer;
  };

  FakeValues() = default;
  FakeValues(const FakeValues&) = delete;
  FakeValues& operator=(const FakeValues&) = delete;

  // Adds a string property holding `value` and its zero byte.
  void AddString(const std::string& name, const std::string& value) {
    ComPtr<IBuffer> buffer(SimpleBuffer::Create());
    buffer->Set(value.c_str(), static_cast<std::uint32_t>(value.size() + 1));
    properties_.push_back({name, Kind::String, 0, buffer});
  }
  // Drops every property, keeping the storage (so later Sets allocate nothing).
  void Clear() { properties_.clear(); }
  void Reserve(std::size_t n) { properties_.reserve(n); }
  // Makes the first GetFirstString fail (the attribute set has no strings to give).
  void FailIteration() { failIteration_ = true; }

  const std::vector<Property>& Properties() const { return properties_; }
  const Property* Find(const std::string& name) const {
    for (const auto& p : properties_) {
      if (p.name == name) return &p;
    }
    return nullptr;
  }
  int refCount() const { return refCount_; }
  int queries = 0;

  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    ++queries;
    return AnswerFromTable(InterfaceTable<FakeValues, FakeValues, IValues>::kRows, this, iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return static_cast<std::uint32_t>(++refCount_); }
  // The last release drops the buffers the set holds, as destroying a real set would.
  std::uint32_t OXA_CALL Release() override {
    if (--refCount_ == 0) {
      for (auto& p : properties_) p.buffer.Reset();
    }
    return static_cast<std::uint32_t>(refCount_);
  }

  HResult OXA_CALL SetUInt32(const char* name, std::uint32_t value) override {
    properties_.push_back({name, Kind::UInt32, value, {}});
    return kOk;
  }
  HResult OXA_CALL GetUInt32(const char*, std::uint32_t*) override { return kFail; }
  HResult OXA_CALL GetFirstUInt32(const char**, std::uint32_t*) override { return kFail; }
  HResult OXA_CALL GetNextUInt32(const char**, std::uint32_t*) override { return kFail; }
  HResult OXA_CALL SetBuffer(const char* name, IBuffer* buffer) override {
    properties_.push_back({name, Kind::Buffer, 0, ComPtr<IBuffer>(buffer)});
    return kOk;
  }
  HResult OXA_CALL GetBuffer(const char*, IBuffer**) override { return kFail; }
  HResult OXA_CALL GetFirstBuffer(const char**, IBuffer**) override { return kFail; }
  HResult OXA_CALL GetNextBuffer(const char**, IBuffer**) override { return kFail; }
  HResult OXA_CALL SetString(const char* name, IBuffer* buffer) override {
    properties_.push_back({name, Kind::String, 0, ComPtr<IBuffer>(buffer)});
    return kOk;
  }
  HResult OXA_CALL GetString(const char* name, IBuffer** buffer) override {
    for (const auto& p : properties_) {
      if (p.kind == Kind::String && p.name == name) {
        p.buffer->AddRef();
        *buffer = p.buffer.Get();
        return kOk;
      }
    }
    *buffer = nullptr;
    return kFail;
  }
  HResult OXA_CALL GetFirstString(const char** name, IBuffer** buffer) override {
    cursor_ = 0;
    if (failIteration_) return kFail;
    return GetNextString(name, buffer);
  }
  HResult OXA_CALL GetNextString(const char** name, IBuffer** buffer) override {
    while (cursor_ < properties_.size() && properties_[cursor_].kind != Kind::String) ++cursor_;
    if (cursor_ == properties_.size()) return kFail;
    *name = properties_[cursor_].name.c_str();
    *buffer = properties_[cursor_].buffer.Get();
    ++cursor_;
    return kOk;
  }

 private:
  std::vector<Property> properties_;
  std::size_t cursor_ = 0;
  bool failIteration_ = false;
  int refCount_ = 0;
};

}  // namespace oxa::testing
