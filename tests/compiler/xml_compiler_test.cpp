// The compiler component: the compile driver against counting host fakes.
#include "compiler/xml_compiler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/compile_events.h"
#include "support/fake_host.h"

namespace oxa {
namespace {

using testing::FakeBuffer;
using testing::FakeContext;
using testing::FakeFactory;

class XmlCompilerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(XmlCompiler::CreateComponent(nullptr, main_.Put()), kOk);
    ASSERT_EQ(main_.QueryTo(compiler_), kOk);
    ASSERT_EQ(main_.QueryTo(context_), kOk);
    ASSERT_EQ(context_->SetContext(&hostContext_), kOk);
  }
  void TearDown() override {
    compiler_.Reset();
    context_.Reset();
    main_.Reset();  // destroys the compiler, which releases the factory
    EXPECT_EQ(factory_.refCount(), 0);
    EXPECT_TRUE(factory_.AllReleased());
  }

  // Compiles `markup`; the result and the bytes handed out (empty on failure).
  testing::CompileResult Compile(const std::string& markup) {
    FakeBuffer input(markup);
    IBuffer* out = reinterpret_cast<IBuffer*>(&input);
    testing::CompileResult r{compiler_->Compile(&input, &out), {}};
    if (Succeeded(r.hr)) {
      EXPECT_EQ(out->AddRef(), 2u) << "one reference, the caller's";
      out->Release();
      r.bytes.assign(out->GetBuffer(), out->GetBuffer() + out->GetSize());
      EXPECT_EQ(out->Release(), 0u);
    } else {
      EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(input.refCount(), 0) << "no reference kept on the input";
    EXPECT_TRUE(factory_.AllReleased());
    EXPECT_EQ(factory_.refCount(), 1) << "the compiler's own reference on the factory";
    return r;
  }

  FakeFactory factory_;
  FakeContext hostContext_{&factory_};
  ComPtr<IUnknown> main_;
  ComPtr<IXmlCompiler> compiler_;
  ComPtr<IContextAware> context_;
};

TEST_F(XmlCompilerTest, CompilesToTheFormatsBytes) {
  const auto r = Compile(R"(<a x="1"><b/></a>)");
  ASSERT_EQ(r.hr, kOk);
  EXPECT_EQ(r.bytes, testing::CompileMarkup(R"(<a x="1"><b/></a>)").bytes);
  EXPECT_EQ(r.bytes.size(), 136u);
  EXPECT_EQ(factory_.parser.refsDuringFeed, 3) << "parser, namespace parser, and the call's hold";
}

TEST_F(XmlCompilerTest, NamespaceParserIsPreparedThroughThatInterfaceOnly) {
  ASSERT_EQ(Compile("<r/>").hr, kOk);
  EXPECT_EQ(factory_.parser.namespacePrepares, 1);
  EXPECT_EQ(factory_.parser.plainPrepares, 0);
  EXPECT_EQ(factory_.parser.encoding, "UTF-8");
  EXPECT_EQ(factory_.parser.separator, ':');
  EXPECT_EQ(static_cast<void*>(factory_.parser.response),
            static_cast<void*>(static_cast<IXmlParserResponse*>(
                static_cast<XmlCompiler*>(static_cast<ObjectFrame*>(main_.Get())))));
}

TEST_F(XmlCompilerTest, PlainParserIsPreparedWithUtf8AndZero) {
  factory_.parser.offersNamespace = false;
  ASSERT_EQ(Compile("<r/>").hr, kOk);
  EXPECT_EQ(factory_.parser.plainPrepares, 1);
  EXPECT_EQ(factory_.parser.namespacePrepares, 0);
  EXPECT_EQ(factory_.parser.encoding, "UTF-8");
  EXPECT_EQ(factory_.parser.flags, 0u);
}

TEST_F(XmlCompilerTest, TwoCompilesEqualTwoFreshObjects) {
  const auto first = Compile(R"(<page title="a long title for the heap"><x/></page>)");
  const auto second = Compile(R"(<list b="Z" a="q"><item/><item a="q"/></list>)");
  EXPECT_EQ(first.bytes,
            testing::CompileMarkup(R"(<page title="a long title for the heap"><x/></page>)").bytes);
  EXPECT_EQ(second.bytes.size(), 206u);
}

TEST_F(XmlCompilerTest, ArgumentsAndStateAreCheckedFirst) {
  FakeBuffer input("<r/>");
  EXPECT_EQ(compiler_->Compile(&input, nullptr), kNullPointer);
  IBuffer* out = &input;
  EXPECT_EQ(compiler_->Compile(nullptr, &out), kInvalidArg);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory_.parser.feeds, 0);
  EXPECT_EQ(context_->SetContext(nullptr), kFail);
  EXPECT_EQ(factory_.refCount(), 0) << "SetContext(null) released the factory";
  out = &input;
  EXPECT_EQ(compiler_->Compile(&input, &out), kFail);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(context_->SetContext(&hostContext_), kOk);
  EXPECT_EQ(Compile("<r/>").hr, kOk);
}

TEST_F(XmlCompilerTest, HostCreationFailuresAreReturned) {
  factory_.failing = {kClsidXmlParser};
  EXPECT_EQ(Compile("<r/>").hr, kOutOfMemory);
  factory_.failing = {kClsidBuffer};
  factory_.failWith = kFail;
  EXPECT_EQ(Compile("<r/>").hr, kFail);
  factory_.failing.clear();
  factory_.mute = {kClsidXmlParser};
  EXPECT_EQ(Compile("<r/>").hr, kNoInterface);
  factory_.mute.clear();
  EXPECT_EQ(Compile("<r/>").bytes.size(), 74u) << "and the next compile works";
}

TEST_F(XmlCompilerTest, ParseErrorFailsTheCompile) {
  factory_.parser.feedResult = static_cast<HResult>(0x80070000 | 13);
  EXPECT_EQ(Compile("<a><b/>").hr, static_cast<HResult>(0x8007000D));
  EXPECT_TRUE(factory_.buffers.empty()) << "no output buffer was made";
  factory_.parser.feedResult = kOk;
  EXPECT_EQ(Compile("<r/>").bytes.size(), 74u);
}

TEST_F(XmlCompilerTest, FailuresRecordedByCallbacksAreReturned) {
  const std::string huge(ByteString::kMaxLength + 1, 'v');
  EXPECT_EQ(Compile(R"(<a k=")" + huge + R"("/>)").hr, kInvalidArg);
  EXPECT_EQ(Compile("").hr, kFail) << "no root element";
  EXPECT_EQ(Compile(R"(<r/>)").bytes.size(), 74u);
}

TEST_F(XmlCompilerTest, FailingSetOfTheOutputBufferIsReturned) {
  factory_.bufferSetResults = {kOutOfMemory};
  EXPECT_EQ(Compile("<r/>").hr, kOutOfMemory);
  EXPECT_EQ(factory_.buffers.size(), 1u);
  EXPECT_EQ(Compile("<r/>").hr, kOk);
}

TEST_F(XmlCompilerTest, TreeIsFreedBeforeTheOutputBufferIsMade) {
  const auto* self = static_cast<const XmlCompiler*>(compiler_.Get());
  int checked = 0;
  factory_.onCreate = [&](const Guid& classId) {
    if (classId != kClsidBuffer) return;
    ++checked;
    EXPECT_EQ(self->Builder().Root(), nullptr);
    EXPECT_EQ(self->Builder().GetCensus().GetCount(), 0u);
    EXPECT_TRUE(self->Builder().GetIndexLog().Empty());
  };
  const std::string markup = R"(<a x="1"><b id="L"/><insertlayout layoutid="L"/></a>)";
  const auto r = Compile(markup);
  ASSERT_EQ(r.hr, kOk);
  EXPECT_EQ(checked, 1);
  EXPECT_EQ(r.bytes, testing::CompileMarkup(markup).bytes) << "the bytes were written before";
  factory_.onCreate = nullptr;
}

TEST_F(XmlCompilerTest, SetContextWithTheHeldPointerChangesNothing) {
  IUnknown* held = static_cast<ICommonClassFactory*>(&factory_);
  const int addRefs = factory_.addRefs();
  EXPECT_EQ(context_->SetContext(held), kOk);
  EXPECT_EQ(factory_.addRefs(), addRefs) << "no call on it";
  EXPECT_EQ(factory_.refCount(), 1);
}

TEST_F(XmlCompilerTest, SetContextWithoutFactoryReleasesTheOldOne) {
  FakeContext empty(nullptr);
  EXPECT_EQ(context_->SetContext(&empty), kFail);
  EXPECT_EQ(factory_.refCount(), 0);
  EXPECT_EQ(empty.refCount(), 0);
  EXPECT_EQ(context_->SetContext(&hostContext_), kOk);
  EXPECT_EQ(factory_.refCount(), 1);
}

TEST_F(XmlCompilerTest, InterfacesShareOneIdentity) {
  for (const Guid* iid : {&kIidXmlParserResponse, &kIidXmlNamespaceResponse, &kIidXmlCompiler,
                          &kIidContextAware, &kIidXmlCompilerDiagnostics}) {
    ComPtr<IUnknown> via;
    ASSERT_EQ(compiler_->QueryInterface(*iid, via.PutVoid()), kOk);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(via.QueryTo(identity), kOk);
    EXPECT_EQ(identity.Get(), main_.Get());
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(compiler_->QueryInterface(kIidBuffer, none.PutVoid()), kNoInterface);
}

// A finding as read back through IXmlCompilerDiagnostics.
struct Seen {
  FindingKind kind;
  std::uint32_t element, related;
  std::string text, other;
  bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
  *os << "{" << static_cast<int>(s.kind) << ", " << s.element << ", " << s.related << ", \""
      << s.text << "\", \"" << s.other << "\"}";
}

class DiagnosticsTest : public XmlCompilerTest {
 protected:
  std::vector<Seen> Findings() {
    ComPtr<IXmlCompilerDiagnostics> diagnostics;
    EXPECT_EQ(main_.QueryTo(diagnostics), kOk);
    std::uint32_t count = 0;
    EXPECT_EQ(diagnostics->GetFindingCount(&count), kOk);
    std::vector<Seen> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t kind, element, related;
      const char* text = nullptr;
      const char* other = nullptr;
      EXPECT_EQ(diagnostics->GetFinding(i, &kind, &element, &related, &text, &other), kOk);
      seen.push_back({static_cast<FindingKind>(kind), element, related, text, other});
    }
    return seen;
  }
};

TEST_F(DiagnosticsTest, EveryKindOfWarningWithItsElementsAndTexts) {
  // Start events: r 1, a 2, x 3, e 4, b 5, directives 6 to 12, InsertLayout 13, m 14, c 15.
  const auto r = Compile(
      R"(<r><a id="L"><x/></a><e id="E"/><b>)"
      R"(<insertlayout/><insertlayout layoutId="L"/><insertlayout layoutid=""/>)"
      R"(<insertlayout layoutid="M"/><insertlayout layoutid="l"/><insertlayout layoutid="E"/>)"
      R"(<insertlayout layoutid="L"/><InsertLayout layoutid="L"/></b><m id="M"/><c id="L"/></r>)");
  ASSERT_EQ(r.hr, kOk) << "warnings never change the result";
  EXPECT_EQ(r.bytes, testing::CompileMarkup(
                         R"(<r><a id="L"><x/></a><e id="E"/><b>)"
                         R"(<insertlayout/><insertlayout layoutId="L"/><insertlayout layoutid=""/>)"
                         R"(<insertlayout layoutid="M"/><insertlayout layoutid="l"/>)"
                         R"(<insertlayout layoutid="E"/><insertlayout layoutid="L"/>)"
                         R"(<InsertLayout layoutid="L"/></b><m id="M"/><c id="L"/></r>)")
                         .bytes)
      << "nor the bytes";
  const std::vector<Seen> expected = {
      {FindingKind::kMissingLayoutId, 6, 0, "", ""},
      {FindingKind::kMissingLayoutId, 7, 0, "layoutId", ""},
      {FindingKind::kMissingLayoutId, 8, 0, "layoutid", ""},
      {FindingKind::kEmptyLayout, 11, 4, "E", ""},
      {FindingKind::kNotADirective, 13, 0, "InsertLayout", ""},
      {FindingKind::kUnknownLayout, 9, 14, "M", ""},   // M comes later
      {FindingKind::kUnknownLayout, 10, 2, "l", "L"},  // L differs only in case
      {FindingKind::kDuplicateId, 15, 2, "L", ""},     // the first is used
  };
  EXPECT_EQ(Findings(), expected);
}

TEST_F(DiagnosticsTest, DirectivesInOtherNamespacesAreNamed) {
  ASSERT_EQ(Compile(R"(<r><urn:x:insertlayout/><urn:oxa:xmlcompiler:insertLayout/></r>)").hr, kOk);
  const std::vector<Seen> expected = {
      {FindingKind::kNotADirective, 2, 0, "urn:x:insertlayout", ""},
      {FindingKind::kNotADirective, 3, 0, "urn:oxa:xmlcompiler:insertLayout", ""}};
  EXPECT_EQ(Findings(), expected);
}

TEST_F(DiagnosticsTest, CleanDocumentsHaveNone) {
  ASSERT_EQ(Compile(R"(<r><a id="L"><x/></a><b><insertlayout layoutid="L"/></b></r>)").hr, kOk);
  EXPECT_TRUE(Findings().empty());
}

TEST_F(DiagnosticsTest, FailuresAreExplainedAndFindingsLiveUntilTheNextCompile) {
  EXPECT_EQ(Compile(R"(<insertlayout layoutid="x"/>)").hr, kFail);
  const std::vector<Seen> noRoot = {{FindingKind::kUnknownLayout, 1, 0, "x", ""},
                                    {FindingKind::kNoRoot, 0, 0, "", ""}};
  EXPECT_EQ(Findings(), noRoot);
  EXPECT_EQ(Findings(), noRoot) << "reading does not consume them";

  // Element lk starts at 3k + 1; its two directives, naming k - 1, at 3k + 2 and 3k + 3.
  std::string bomb = R"(<r><l0 id="0"><x/></l0>)";
  for (int k = 1; k <= 24; ++k) {
    bomb += "<l" + std::to_string(k) + " id=\"" + std::to_string(k) + "\">";
    for (int c = 0; c < 2; ++c)
      bomb += "<insertlayout layoutid=\"" + std::to_string(k - 1) + "\"/>";
    bomb += "</l" + std::to_string(k) + ">";
  }
  EXPECT_EQ(Compile(bomb + "</r>").hr, kOutOfMemory);
  const std::vector<Seen> found = Findings();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].kind, FindingKind::kExpansionBound);
  EXPECT_EQ(found[0].text, std::to_string((found[0].element - 2) / 3 - 1))
      << "the directive crossing the bound names the layout it copies";

  EXPECT_EQ(Compile("<r/>").hr, kOk);
  EXPECT_TRUE(Findings().empty()) << "a new compile starts with none";
}

TEST_F(DiagnosticsTest, TooLongTextsNameTheirAttribute) {
  const std::string huge(ByteString::kMaxLength + 1, 'v');
  EXPECT_EQ(Compile("<r><e a=\"1\" big=\"" + huge + "\"/></r>").hr, kInvalidArg);
  std::vector<Seen> expected = {{FindingKind::kTextTooLong, 2, 0, "big", "value"}};
  EXPECT_EQ(Findings(), expected);
  EXPECT_EQ(Compile("<r><" + huge + "/></r>").hr, kInvalidArg);
  expected = {{FindingKind::kTextTooLong, 2, 0, "", "name"}};
  EXPECT_EQ(Findings(), expected);
  EXPECT_EQ(Compile("<r><e " + huge + "=\"1\"/></r>").hr, kInvalidArg);
  expected = {{FindingKind::kTextTooLong, 2, 0, huge.substr(0, oxa::Findings::kTextLimit), "name"}};
  EXPECT_EQ(Findings(), expected);
  EXPECT_EQ(Compile("<r id=\"x\"><insertlayout layoutid=\"" + huge + "\"/></r>").hr, kInvalidArg);
  expected = {{FindingKind::kTextTooLong, 2, 0, kLayoutIdAttribute, "value"}};
  EXPECT_EQ(Findings(), expected);
}

TEST_F(DiagnosticsTest, InterfaceContract) {
  ComPtr<IXmlCompilerDiagnostics> diagnostics;
  ASSERT_EQ(main_.QueryTo(diagnostics), kOk);
  const std::int32_t held = static_cast<ObjectFrame*>(main_.Get())->RefCountForTesting();
  std::uint32_t count = 7;
  EXPECT_EQ(diagnostics->GetFindingCount(&count), kOk);
  EXPECT_EQ(count, 0u) << "before any compile";
  ASSERT_EQ(Compile("<r><InsertLayout/></r>").hr, kOk);
  EXPECT_EQ(diagnostics->GetFindingCount(nullptr), kNullPointer);
  std::uint32_t kind, element, related;
  const char* text;
  const char* other;
  EXPECT_EQ(diagnostics->GetFinding(0, nullptr, &element, &related, &text, &other), kNullPointer);
  EXPECT_EQ(diagnostics->GetFinding(0, &kind, &element, &related, nullptr, &other), kNullPointer);
  EXPECT_EQ(diagnostics->GetFinding(0, &kind, &element, &related, &text, nullptr), kNullPointer);
  EXPECT_EQ(diagnostics->GetFinding(1, &kind, &element, &related, &text, &other), kInvalidArg);
  EXPECT_EQ(diagnostics->GetFinding(0xFFFFFFFFu, &kind, &element, &related, &text, &other),
            kInvalidArg);
  ASSERT_EQ(diagnostics->GetFinding(0, &kind, &element, &related, &text, &other), kOk);
  EXPECT_EQ(std::string(text), "InsertLayout");
  EXPECT_EQ(static_cast<ObjectFrame*>(main_.Get())->RefCountForTesting(), held)
      << "reading findings takes no reference";
}

TEST(XmlCompilerAggregation, AggregatedCompilerCompiles) {
  FakeFactory factory;
  FakeContext context(&factory);
  testing::FakeOuter outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(XmlCompiler::CreateComponent(&outer, &inner), kOk);
  outer.inner = inner;
  ComPtr<IContextAware> aware;
  ASSERT_EQ(inner->QueryInterface(kIidContextAware, aware.PutVoid()), kOk);
  EXPECT_EQ(outer.refCount(), 1);
  ASSERT_EQ(aware->SetContext(&context), kOk);
  ComPtr<IXmlCompiler> compiler;
  ASSERT_EQ(aware.QueryTo(compiler), kOk);  // through the outer object
  FakeBuffer input("<r/>");
  IBuffer* out = nullptr;
  ASSERT_EQ(compiler->Compile(&input, &out), kOk);
  EXPECT_EQ(out->GetSize(), 74u);
  out->Release();
  compiler.Reset();
  aware.Reset();
  EXPECT_EQ(outer.refCount(), 0);
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(factory.refCount(), 0);
  EXPECT_TRUE(factory.AllReleased());
}

}  // namespace
}  // namespace oxa
