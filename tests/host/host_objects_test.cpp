// The reference host: property set semantics and the expat parser adapter.
#include <xmlcompiler/host/host_objects.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <xmlcompiler/host/event_recording.h>
#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/legacy_encoding.h>

namespace oxa::host {
namespace {

std::string Text(IBuffer* b) {
  return std::string(reinterpret_cast<const char*>(b->GetBuffer()), b->GetSize());
}

ComPtr<IBuffer> BufferOf(const std::string& bytes) {
  ComPtr<HostBuffer> b = HostBuffer::Create();
  b->Bytes().assign(bytes.begin(), bytes.end());
  return ComPtr<IBuffer>(b.Get());
}

// Every interface a host object offers: reachable with one more reference,
// one identity through IUnknown; anything else refused with a null result.
template <class T>
void ExpectInterfaces(T* object, std::vector<const Guid*> offered) {
  IUnknown* identity = nullptr;
  ASSERT_EQ(object->QueryInterface(kIidUnknown, reinterpret_cast<void**>(&identity)), kOk);
  const std::uint32_t counted = object->RefCount();
  offered.push_back(&kIidUnknown);
  for (const Guid* iid : offered) {
    IUnknown* found = nullptr;
    ASSERT_EQ(object->QueryInterface(*iid, reinterpret_cast<void**>(&found)), kOk);
    EXPECT_EQ(object->RefCount(), counted + 1);
    IUnknown* again = nullptr;
    ASSERT_EQ(found->QueryInterface(kIidUnknown, reinterpret_cast<void**>(&again)), kOk);
    EXPECT_EQ(again, identity) << "one identity through every interface";
    again->Release();
    found->Release();
  }
  for (const Guid* iid : {&kIidBuffer, &kIidValues, &kIidXmlParser, &kIidCommonClassFactory}) {
    if (std::find(offered.begin(), offered.end(), iid) != offered.end()) continue;
    void* none = object;
    EXPECT_EQ(object->QueryInterface(*iid, &none), kNoInterface);
    EXPECT_EQ(none, nullptr);
  }
  EXPECT_EQ(object->QueryInterface(kIidUnknown, nullptr), kNullPointer);
  EXPECT_EQ(object->RefCount(), counted);
  identity->Release();
}

TEST(HostObjectsTest, EveryObjectAnswersFromItsInterfaceTable) {
  ExpectInterfaces(HostBuffer::Create().Get(), {&kIidBuffer});
  ExpectInterfaces(PropertySet::Create().Get(), {&kIidValues});
  ExpectInterfaces(AttributeSet::Create().Get(), {&kIidValues});
  ComPtr<ClassFactory> factory = ClassFactory::Create(&ExpatParser::Make);
  ExpectInterfaces(factory.Get(), {&kIidCommonClassFactory});
  ParseReport report;
  ExpectInterfaces(ExpatParser::Create(&report).Get(), {&kIidXmlParser, &kIidXmlNamespaceParser});

  // The context's class factory is the factory's own object.
  ComPtr<HostContext> context = HostContext::Create(factory.Get());
  void* offered = nullptr;
  ASSERT_EQ(context->QueryInterface(kIidCommonClassFactory, &offered), kOk);
  EXPECT_EQ(offered, static_cast<ICommonClassFactory*>(factory.Get()));
  EXPECT_EQ(factory->RefCount(), 3u);  // this test, the context, the interface handed out
  static_cast<ICommonClassFactory*>(offered)->Release();
  ASSERT_EQ(context->QueryInterface(kIidUnknown, &offered), kOk);
  EXPECT_EQ(offered, static_cast<IUnknown*>(context.Get()));
  EXPECT_EQ(context->RefCount(), 2u);
  static_cast<IUnknown*>(offered)->Release();
  EXPECT_EQ(context->QueryInterface(kIidValues, &offered), kNoInterface);
  EXPECT_EQ(offered, nullptr);

  // The recorder lives on its creator's stack: found, never counted.
  EventRecorder recorder;
  void* response = nullptr;
  EXPECT_EQ(recorder.QueryInterface(kIidXmlNamespaceResponse, &response), kOk);
  EXPECT_EQ(response, static_cast<IXmlNamespaceResponse*>(&recorder));
  EXPECT_EQ(recorder.QueryInterface(kIidBuffer, &response), kNoInterface);
  EXPECT_EQ(response, nullptr);
}

TEST(PropertySetTest, InsertionOrderReplacementAndIteration) {
  ComPtr<PropertySet> set = PropertySet::Create();
  set->SetString("b", BufferOf(std::string("2\0", 2)).Get());
  set->SetUInt32("n", 7);
  set->SetString("a", BufferOf(std::string("1\0", 2)).Get());
  set->SetString("b", BufferOf(std::string("3\0", 2)).Get());
  const char* name = nullptr;
  IBuffer* value = nullptr;
  std::string walked;
  for (HResult hr = set->GetFirstString(&name, &value); Succeeded(hr);
       hr = set->GetNextString(&name, &value)) {
    walked += std::string(name) + "=" + reinterpret_cast<const char*>(value->GetBuffer()) + ";";
  }
  EXPECT_EQ(walked, "b=3;a=1;") << "strings only, in insertion order, replaced in place";
  std::uint32_t n = 0;
  EXPECT_EQ(set->GetUInt32("n", &n), kOk);
  EXPECT_EQ(n, 7u);
  ComPtr<IBuffer> got;
  ASSERT_EQ(set->GetString("a", got.Put()), kOk);
  EXPECT_EQ(got->AddRef(), 3u) << "GetString passes a reference to the caller";
  got->Release();
  EXPECT_EQ(set->GetString("missing", got.Put()), kFail);
  EXPECT_EQ(set->GetBuffer("a", got.Put()), kFail) << "kinds are separate";
}

TEST(PropertySetTest, ReuseKeepsBuffersUnlessHeldElsewhere) {
  ComPtr<PropertySet> set = PropertySet::Create();
  set->AppendString("k", "v1", 2);
  const char* name = nullptr;
  IBuffer* first = nullptr;
  ASSERT_EQ(set->GetFirstString(&name, &first), kOk);
  set->ClearForReuse();
  set->AppendString("k2", "second", 6);
  IBuffer* second = nullptr;
  ASSERT_EQ(set->GetFirstString(&name, &second), kOk);
  EXPECT_EQ(first, second) << "same buffer object, no allocation";
  EXPECT_EQ(Text(second), std::string("second\0", 7));
  EXPECT_STREQ(name, "k2");
  second->AddRef();  // someone keeps the value
  set->ClearForReuse();
  set->AppendString("k3", "third", 5);
  IBuffer* third = nullptr;
  ASSERT_EQ(set->GetFirstString(&name, &third), kOk);
  EXPECT_NE(third, second);
  EXPECT_EQ(Text(second), std::string("second\0", 7)) << "the held value is untouched";
  second->Release();
}

TEST(AttributeSetTest, ShowsThePairsInPlaceAndInOrder) {
  ComPtr<AttributeSet> set = AttributeSet::Create();
  const char* pairs[] = {"z", "last", "a", "", nullptr};
  set->Show(pairs);
  const char* name = nullptr;
  IBuffer* value = nullptr;
  ASSERT_EQ(set->GetFirstString(&name, &value), kOk);
  EXPECT_EQ(name, pairs[0]) << "names are the parser's own";
  EXPECT_EQ(reinterpret_cast<const char*>(value->GetBuffer()), pairs[1]) << "values are not copied";
  EXPECT_EQ(Text(value), std::string("last\0", 5));
  IBuffer* second = nullptr;
  ASSERT_EQ(set->GetNextString(&name, &second), kOk);
  EXPECT_EQ(second, value) << "one view, shown again";
  EXPECT_STREQ(name, "a");
  EXPECT_EQ(Text(second), std::string("\0", 1));
  EXPECT_EQ(set->GetNextString(&name, &value), kFail);
  ASSERT_EQ(set->GetFirstString(&name, &value), kOk) << "the iteration restarts";
  EXPECT_STREQ(name, "z");

  set->Clear();
  EXPECT_EQ(set->GetFirstString(&name, &value), kFail) << "nothing outlives the element";
  set->Show(nullptr);
  EXPECT_EQ(set->GetFirstString(&name, &value), kFail);
}

TEST(AttributeSetTest, WhatIsKeptPastTheElementIsACopy) {
  ComPtr<AttributeSet> set = AttributeSet::Create();
  std::string text = "shown";
  const char* pairs[] = {"k", text.c_str(), "layoutid", "L1", nullptr};
  set->Show(pairs);
  ComPtr<IBuffer> owned;
  ASSERT_EQ(set->GetString("layoutid", owned.Put()), kOk);
  EXPECT_EQ(owned->AddRef(), 2u) << "GetString passes the one reference of a new buffer";
  owned->Release();
  EXPECT_EQ(set->GetString("none", owned.Put()), kFail);
  EXPECT_EQ(owned.Get(), nullptr);
  ASSERT_EQ(set->GetString("layoutid", owned.Put()), kOk);

  const char* name = nullptr;
  IBuffer* held = nullptr;
  ASSERT_EQ(set->GetFirstString(&name, &held), kOk);
  held->AddRef();  // someone keeps the value past its call
  set->Clear();
  text.assign("XXXXX");  // the parser reuses its memory
  EXPECT_EQ(Text(held), std::string("shown\0", 6)) << "the held view copied its text";
  EXPECT_EQ(Text(owned.Get()), std::string("L1\0", 3));
  set->Show(pairs);
  IBuffer* next = nullptr;
  ASSERT_EQ(set->GetFirstString(&name, &next), kOk);
  EXPECT_NE(next, held);
  EXPECT_EQ(Text(next), std::string("XXXXX\0", 6));
  ASSERT_EQ(held->Set("new", 3), kOk) << "a kept view is an ordinary buffer";
  EXPECT_EQ(Text(held), "new");
  EXPECT_EQ(held->Release(), 0u);
}

TEST(AttributeSetTest, IsReadOnlyAndHoldsOnlyStrings) {
  ComPtr<AttributeSet> set = AttributeSet::Create();
  const char* pairs[] = {"n", "1", nullptr};
  set->Show(pairs);
  EXPECT_EQ(set->SetString("n", nullptr), AttributeSet::kNotImplemented);
  EXPECT_EQ(set->SetUInt32("n", 1), AttributeSet::kNotImplemented);
  EXPECT_EQ(set->SetBuffer("n", nullptr), AttributeSet::kNotImplemented);
  std::uint32_t number = 0;
  const char* name = nullptr;
  IBuffer* buffer = nullptr;
  EXPECT_EQ(set->GetUInt32("n", &number), kFail);
  EXPECT_EQ(set->GetFirstUInt32(&name, &number), kFail);
  EXPECT_EQ(set->GetBuffer("n", &buffer), kFail);
  EXPECT_EQ(set->GetFirstBuffer(&name, &buffer), kFail);
  EXPECT_EQ(set->GetFirstString(nullptr, &buffer), kNullPointer);
  EXPECT_EQ(set->GetString("n", nullptr), kNullPointer);
  EXPECT_EQ(set->GetUInt32(nullptr, &number), kNullPointer);
  void* unknown = nullptr;
  EXPECT_EQ(set->QueryInterface(kIidBuffer, &unknown), kNoInterface);
  EXPECT_EQ(unknown, nullptr);
}

// Records the events a parser delivers.
class Recorder final : public ParserResponseDefaults {
 public:
  std::vector<std::string> events;
  HResult OXA_CALL QueryInterface(const Guid&, void** out) override {
    *out = nullptr;
    return kNoInterface;
  }
  std::uint32_t OXA_CALL AddRef() override { return ++refs; }
  std::uint32_t OXA_CALL Release() override { return --refs; }
  HResult OXA_CALL StartElement(const char* name, IValues* attributes, std::uint32_t line,
                                std::uint32_t column) override {
    std::string e = std::string("<") + name;
    const char* n = nullptr;
    IBuffer* v = nullptr;
    for (HResult hr = attributes->GetFirstString(&n, &v); Succeeded(hr);
         hr = attributes->GetNextString(&n, &v)) {
      e += std::string(" ") + n + "=" + reinterpret_cast<const char*>(v->GetBuffer());
    }
    events.push_back(e + "@" + std::to_string(line) + ":" + std::to_string(column));
    return kOk;
  }
  HResult OXA_CALL EndElement(const char* name, std::uint32_t, std::uint32_t) override {
    events.push_back(std::string("/") + name);
    return kOk;
  }
  std::uint32_t refs = 0;
};

struct Parsed {
  HResult hr;
  std::vector<std::string> events;
  ParseReport report;
};

Parsed Parse(const std::string& bytes, bool namespaces = true,
             ExpatParser::Positions positions = ExpatParser::Positions::Report) {
  ParseReport report;
  Recorder recorder;
  Parsed p{};
  {
    ComPtr<ExpatParser> parser = ExpatParser::Create(&report, positions);
    if (namespaces) {
      parser->Prepare(&recorder, &recorder, "UTF-8", ':');
    } else {
      parser->Prepare(&recorder, "UTF-8", 0);
    }
    p.hr = parser->Feed(BufferOf(bytes).Get(), 1);
  }
  EXPECT_EQ(recorder.refs, 0u) << "the parser gave its references on the response back";
  p.events = recorder.events;
  p.report = report;
  return p;
}

TEST(ExpatParserTest, ElementsAttributesAndPositions) {
  const Parsed p = Parse("<a x=\"1\" y='2'>\n  <b/>\n</a>");
  ASSERT_EQ(p.hr, kOk);
  EXPECT_EQ(p.events, (std::vector<std::string>{"<a x=1 y=2@1:1", "<b@2:3", "/b", "/a"}));
  const Parsed quiet = Parse("<a x=\"1\" y='2'>\n  <b/>\n</a>", true, ExpatParser::Positions::Omit);
  EXPECT_EQ(quiet.events, (std::vector<std::string>{"<a x=1 y=2@0:0", "<b@0:0", "/b", "/a"}));
  const Parsed broken = Parse("<a>\n <b></a>", true, ExpatParser::Positions::Omit);
  EXPECT_EQ(broken.report.line, 2u) << "failures are located without positions too";
}

TEST(ExpatParserTest, DocumentsOfSeveralPiecesParseWhole) {
  // Past one piece, so that names and values straddle the pieces expat is fed.
  std::string doc = "<r>\n";
  const std::string filler(1000, 'v');
  const int count = static_cast<int>(ExpatParser::kPieceBytes / 1000 + 1000);
  for (int i = 0; i < count; ++i) doc += "<e v=\"" + filler + std::to_string(i) + "\"/>\n";
  const Parsed good = Parse(doc + "</r>", true, ExpatParser::Positions::Omit);
  ASSERT_EQ(good.hr, kOk);
  ASSERT_EQ(good.events.size(), 2u * count + 2);
  for (const int i : {0, count / 2, count - 1}) {
    EXPECT_EQ(good.events[1 + 2 * i], "<e v=" + filler + std::to_string(i) + "@0:0");
  }
  const Parsed bad = Parse(doc + "<broken", true, ExpatParser::Positions::Omit);
  EXPECT_EQ(bad.hr, kInvalidData);
  EXPECT_EQ(bad.report.line, static_cast<std::uint32_t>(count + 2)) << "located in the last piece";
}

TEST(ExpatParserTest, NamespaceModeJoinsUriAndLocalName) {
  const std::string doc =
      R"(<r xmlns:c="urn:oxa:xmlcompiler" xmlns="urn:d"><c:insertlayout layoutid="L"/><e/></r>)";
  EXPECT_EQ(Parse(doc).events,
            (std::vector<std::string>{
                "<urn:d:r@1:1", "<urn:oxa:xmlcompiler:insertlayout layoutid=L@1:48",
                "/urn:oxa:xmlcompiler:insertlayout", "<urn:d:e@1:78", "/urn:d:e", "/urn:d:r"}));
  const Parsed plain = Parse(doc, false);
  EXPECT_EQ(plain.events[1], "<c:insertlayout layoutid=L@1:48")
      << "without namespace mode, names stay prefixed";
}

TEST(ExpatParserTest, DefaultedAttributesAreDelivered) {
  const Parsed p = Parse(R"(<!DOCTYPE r [<!ATTLIST r mode CDATA "auto">]><r/>)");
  ASSERT_EQ(p.hr, kOk);
  EXPECT_EQ(p.events[0], "<r mode=auto@1:46");
}

TEST(ExpatParserTest, DocumentEncodingsAreDetected) {
  const std::string utf8 = "<a x=\"\xC3\xA9\"/>";
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("<a x=\"\xE9\"/>")) utf16 += std::string{c, '\0'};
  const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a x=\"\xE9\"/>";
  const auto expected = Parse(utf8).events[0].substr(0, 8);
  EXPECT_EQ(Parse(utf16).events[0].substr(0, 8), expected);
  EXPECT_EQ(Parse(latin1).events[0].substr(0, 8), expected);
  EXPECT_EQ(expected, "<a x=\xC3\xA9@");
}

TEST(ExpatParserTest, AnEncodingsTablesAreWorkedOutOncePerProcess) {
  const std::string body = "\"?><a x=\"\x93\xFA\x96\x7B\"/>";  // 日本
  const auto first = Parse("<?xml version=\"1.0\" encoding=\"Shift_JIS" + body);
  ASSERT_EQ(first.hr, kOk) << first.report.message;
  EXPECT_EQ(first.events[0], "<a x=\xE6\x97\xA5\xE6\x9C\xAC@1:43");
  const std::size_t built = EncodingTablesBuilt();
  for (const char* name : {"shift_jis", "SHIFT_JIS", "SJIS", "CP932", "windows-31j"}) {
    const auto again = Parse(std::string("<?xml version=\"1.0\" encoding=\"") + name + body);
    EXPECT_EQ(again.events[0].substr(0, 11), first.events[0].substr(0, 11)) << name;
  }
  EXPECT_EQ(EncodingTablesBuilt(), built) << "one code page by any name in any case: no new tables";
  Parse("<?xml version=\"1.0\" encoding=\"KOI8-U\"?><a/>");  // used by no other test
  EXPECT_EQ(EncodingTablesBuilt(), built + 1);
}

TEST(ExpatParserTest, MalformedInputIsLocated) {
  const Parsed p = Parse("<a>\n<b></a>");
  EXPECT_EQ(p.hr, kInvalidData);
  EXPECT_TRUE(p.report.failed);
  EXPECT_EQ(p.report.message, "mismatched tag");
  EXPECT_EQ(p.report.line, 2u);
  EXPECT_EQ(p.report.column, 6u);
}

TEST(ExpatParserTest, ExternalEntitiesAreNeverLoaded) {
  const std::string secret =
      testing::TempDir() + "/oxa_secret_" + std::to_string(getpid()) + ".xml";
  std::FILE* f = std::fopen(secret.c_str(), "w");
  std::fputs("<leak/>", f);
  std::fclose(f);
  const std::string doc = "<!DOCTYPE r [<!ENTITY e SYSTEM \"file://" + secret + "\">]><r>&e;</r>";
  const Parsed p = Parse(doc);
  EXPECT_EQ(p.hr, kOk);
  EXPECT_EQ(p.events,
            (std::vector<std::string>{"<r@1:" + std::to_string(doc.find("<r>") + 1), "/r"}));
  std::remove(secret.c_str());
}

TEST(ExpatParserTest, EntityAmplificationIsRefused) {
  std::string doc = "<!DOCTYPE r [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
  for (int i = 1; i < 12; ++i) {
    doc += "<!ENTITY e" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) doc += "&e" + std::to_string(i - 1) + ";";
    doc += "\">";
  }
  doc += "]><r a=\"&e11;\"/>";
  const Parsed p = Parse(doc);
  EXPECT_EQ(p.hr, kInvalidData);
  EXPECT_NE(p.report.message.find("amplification"), std::string::npos) << p.report.message;
}

TEST(ExpatParserTest, OnlyUtf8TextsAreOffered) {
  ParseReport report;
  Recorder recorder;
  ComPtr<ExpatParser> parser = ExpatParser::Create(&report);
  EXPECT_EQ(parser->Prepare(&recorder, "ISO-8859-1", 0), kInvalidArg);
  EXPECT_EQ(parser->Feed(BufferOf("<r/>").Get(), 1), kFail) << "not prepared";
  EXPECT_EQ(parser->Prepare(&recorder, "utf-8", 0), kOk);
}

}  // namespace
}  // namespace oxa::host

namespace oxa::host {
namespace {

TEST(ReplayParserTest, ReplaysRecordedEventsAndRefusesDamage) {
  ParseReport report;
  EventRecorder recorder;
  {
    ComPtr<ExpatParser> parser = ExpatParser::Create(&report);
    parser->Prepare(&recorder, &recorder, "UTF-8", ':');
    ASSERT_EQ(parser->Feed(BufferOf(R"(<a x="1" y=""><b/></a>)").Get(), 1), kOk);
  }
  Recorder replayed;
  const std::string stream(recorder.Bytes().begin(), recorder.Bytes().end());
  {
    ComPtr<IXmlParser> replay;
    replay.Attach(ReplayParser::Make(&report));
    replay->Prepare(&replayed, "UTF-8", 0);
    ASSERT_EQ(replay->Feed(BufferOf(stream).Get(), 1), kOk);
    EXPECT_EQ(replayed.events, (std::vector<std::string>{"<a x=1 y=@0:0", "<b@0:0", "/b", "/a"}));
    for (std::size_t cut = 9; cut < stream.size(); ++cut) {
      replay->Prepare(&replayed, "UTF-8", 0);
      const HResult hr = replay->Feed(BufferOf(stream.substr(0, cut)).Get(), 1);
      EXPECT_TRUE(hr == kOk || hr == kInvalidData)
          << cut;  // a cut between records is a shorter stream
    }
    EXPECT_EQ(replay->Feed(BufferOf("not a stream").Get(), 1), kInvalidData);
    EXPECT_TRUE(report.failed);
  }
  EXPECT_EQ(replayed.refs, 0u);
}

}  // namespace
}  // namespace oxa::host
