// Drives the tree builder and the writer from scripted markup, and renders
// trees compactly, for the compiler tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "com/simple_buffer.h"
#include "compiler/document_writer.h"
#include "compiler/tree_builder.h"

#include "event_script.h"
#include "lookup_writer.h"

namespace oxa::testing {

// "name[k=v,k=v](child,child)"; attributes in stored order.
inline std::string Describe(const ElementNode* node) {
  if (node == nullptr) return "<null>";
  std::string out = node->name.Chars();
  if (node->attributes.GetCount() != 0) {
    out += '[';
    for (const auto& a : node->attributes) {
      if (out.back() != '[') out += ',';
      out += std::string(a.key.Chars()) + "=" + a.value.Chars();
    }
    out += ']';
  }
  if (node->ChildCount() != 0) {
    out += '(';
    for (std::int32_t i = 0; i < node->ChildCount(); ++i) {
      if (i != 0) out += ',';
      out += Describe(node->Child(i));
    }
    out += ')';
  }
  return out;
}

inline std::vector<std::string> CensusKeys(const Census& census) {
  std::vector<std::string> keys;
  for (const auto& e : census) keys.emplace_back(e.key.Chars());
  return keys;
}

struct CompileResult {
  HResult hr;
  std::vector<std::uint8_t> bytes;
};

// Builds the tree of `markup` in `builder`, writes it with `writer`, then resets both.
inline CompileResult CompileMarkup(TreeBuilder& builder, DocumentWriter& writer,
                                   const std::string& markup) {
  const auto events = ParseEvents(markup);
  Deliver(events, builder);
  builder.FinishParse();
  CompileResult result{builder.Failure(), {}};
  if (result.hr == kOk) {
    // Both ways of finding string indices must give the same bytes.
    ComPtr<IBuffer> out(SimpleBuffer::Create());
    result.hr = WriteByLookup(writer, builder.Root(), builder.GetCensus(), out.Get());
    result.bytes.assign(out->GetBuffer(), out->GetBuffer() + out->GetSize());
    writer.Rewind();
    ComPtr<IBuffer> logged(SimpleBuffer::Create());
    const HResult hr = writer.WriteDocument(builder.Root(), builder.GetCensus(),
                                            builder.GetIndexLog(), logged.Get());
    const std::vector<std::uint8_t> viaLog(logged->GetBuffer(),
                                           logged->GetBuffer() + logged->GetSize());
    if (hr != result.hr || viaLog != result.bytes) {
      ADD_FAILURE() << "the index log gives other bytes than the string index for " << markup;
    }
    if (DocumentWriter::DocumentSize(builder.GetCensus(), builder.GetIndexLog()) != viaLog.size())
      ADD_FAILURE() << "the size worked out before writing is not the size written for " << markup;
  }
  builder.Reset();
  writer.Rewind();
  return result;
}

inline CompileResult CompileMarkup(const std::string& markup) {
  TreeBuilder builder;
  DocumentWriter writer;
  return CompileMarkup(builder, writer, markup);
}

}  // namespace oxa::testing
