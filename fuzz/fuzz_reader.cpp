// Arbitrary bytes into the reader: a refused document is harmless, and an
// opened one reads back consistently through every accessor, each way of
// reaching an element agreeing with the others.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <xmlcompiler/format/document_reader.h>

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace oxa::reader;
  Document doc;
  ReadError error;
  if (!Document::Open(data, size, &doc, &error)) {
    Check(error.offset <= size && error.what[0] != '\0');
    return 0;
  }
  Check(doc.StringCount() > 0 && doc.Root());
  for (std::uint32_t i = 0; i < doc.StringCount(); ++i) {
    const std::string_view s = doc.String(i);
    Check(doc.FindString(s) == i);
    Check(s.data() + s.size() < reinterpret_cast<const char*>(data) + size &&
          s.data()[s.size()] == 0);
    if (i > 0) Check(doc.String(i - 1) < s);
  }
  // Slices of the input as strings to look up: found ones are exact.
  for (std::size_t at = 0; at + 1 < size && at < 64; ++at) {
    const std::string_view probe(reinterpret_cast<const char*>(data) + at, data[at] % 8);
    if (probe.data() + probe.size() > reinterpret_cast<const char*>(data) + size) break;
    const std::uint32_t found = doc.FindString(probe);
    Check(found == kNoString || doc.String(found) == probe);
  }

  // Document order: offsets ascend, each element inside the ones still open.
  std::uint32_t count = 0, previous = 0;
  std::vector<std::uint32_t> open;  // ends
  for (const Element& e : doc.Elements()) {
    Check(count == 0 || e.Offset() > previous);
    while (!open.empty() && e.Offset() >= open.back()) open.pop_back();
    Check(open.empty() == (count == 0));
    Check(open.empty() || e.End() <= open.back());
    open.push_back(e.End());
    previous = e.Offset();
    ++count;
    Check(e.NameIndex() < doc.StringCount());
    for (std::uint32_t a = 0; a < e.AttributeCount(); ++a) {
      const Attribute pair = e.AttributeAt(a);
      Check(pair.name < doc.StringCount() && pair.value < doc.StringCount());
      std::string_view value;
      Check(e.FindAttribute(doc.String(pair.name), &value) && value == doc.String(pair.value));
    }
    Check(e.AttributeAt(e.AttributeCount()).name == kNoString);
  }
  Check(count == doc.ElementCount());

  // Children from the root reach the same elements.
  std::uint32_t walked = 0;
  std::vector<Element> pending{doc.Root()};
  while (!pending.empty()) {
    const Element e = pending.back();
    pending.pop_back();
    ++walked;
    std::uint32_t i = 0;
    for (const Element& child : e.Children()) {
      if (i < 8) Check(e.Child(i) == child);
      ++i;
      pending.push_back(child);
    }
    Check(i == e.ChildCount() && !e.Child(i));
  }
  Check(walked == count);
  return 0;
}
