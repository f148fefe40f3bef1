// The calls Compile makes on the host's objects, recorded one by one and
// compared whole with the order the framework relies on: create and query the
// parser, prepare it, feed it under an extra reference, create the output
// buffer, fill it, hand it out with a reference of its own, then release the
// output buffer, the namespace parser and the parser, in that order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/host.h>
#include <xmlcompiler/com/interface_table.h>
#include "compiler/xml_compiler.h"
#include "support/fake_values.h"

namespace oxa {
namespace {

using Log = std::vector<std::string>;

std::string IidName(const Guid& iid) {
  if (iid == kIidUnknown) return "IUnknown";
  if (iid == kIidXmlParser) return "IXmlParser";
  if (iid == kIidXmlNamespaceParser) return "IXmlNamespaceParser";
  if (iid == kIidBuffer) return "IBuffer";
  return "another interface";
}

// One recorded object: its name in the log and its reference count.
class Recorded {
 public:
  Recorded(Log* log, std::string name) : log_(log), name_(std::move(name)) {}
  int refs = 0;

 protected:
  void Note(const std::string& call) { log_->push_back(name_ + "." + call); }
  // QueryInterface from the table of Self's Interfaces. The reference it
  // takes is counted but not recorded: the log holds the compiler's calls only.
  template <class Self, class... Interfaces>
  HResult Answer(Self* self, const Guid& iid, void** out) {
    *out = FindInterface(InterfaceTable<Self, Self, Interfaces...>::kRows, self, iid);
    if (*out == nullptr) return kNoInterface;
    ++refs;
    return kOk;
  }
  std::uint32_t NoteAddRef() {
    Note("AddRef");
    return static_cast<std::uint32_t>(++refs);
  }
  std::uint32_t NoteRelease() {
    Note("Release");
    return static_cast<std::uint32_t>(--refs);
  }

 private:
  Log* log_;
  std::string name_;
};

class RecordingBuffer final : public IBuffer, public Recorded {
 public:
  using Recorded::Recorded;
  std::string bytes;
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    Note("QueryInterface(" + IidName(iid) + ")");
    return Answer<RecordingBuffer, IBuffer>(this, iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return NoteAddRef(); }
  std::uint32_t OXA_CALL Release() override { return NoteRelease(); }
  HResult OXA_CALL Get(const std::uint8_t** data, std::uint32_t* length) override {
    Note("Get");
    *data = GetBufferUnrecorded();
    *length = static_cast<std::uint32_t>(bytes.size());
    return kOk;
  }
  HResult OXA_CALL Set(const void* data, std::uint32_t length) override {
    Note("Set");
    bytes.assign(static_cast<const char*>(data), length);
    return kOk;
  }
  HResult OXA_CALL SetSize(std::uint32_t length) override {
    Note("SetSize");
    bytes.resize(length);
    return kOk;
  }
  std::uint32_t OXA_CALL GetSize() override {
    Note("GetSize");
    return static_cast<std::uint32_t>(bytes.size());
  }
  std::uint8_t* OXA_CALL GetBuffer() override {
    Note("GetBuffer");
    return GetBufferUnrecorded();
  }

 private:
  std::uint8_t* GetBufferUnrecorded() { return reinterpret_cast<std::uint8_t*>(bytes.data()); }
};

class RecordingParser;

// The namespace face of the parser, an object of its own so that the calls
// through it are told apart from the calls through IXmlParser.
class RecordingNamespaceParser final : public IXmlNamespaceParser, public Recorded {
 public:
  RecordingNamespaceParser(Log* log, RecordingParser* parser)
      : Recorded(log, "nsparser"), parser_(parser) {}
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OXA_CALL AddRef() override { return NoteAddRef(); }
  std::uint32_t OXA_CALL Release() override { return NoteRelease(); }
  HResult OXA_CALL Prepare(IXmlParserResponse* r, IXmlNamespaceResponse* n, const char* e,
                           char s) override;

 private:
  RecordingParser* parser_;
};

class RecordingParser final : public IXmlParser, public Recorded {
 public:
  RecordingParser(Log* log, IBuffer* expectedInput)
      : Recorded(log, "parser"), namespaceFace(log, this), input_(expectedInput) {}
  bool offersNamespace = true;
  HResult feedResult = kOk;
  IXmlParserResponse* response = nullptr;
  RecordingNamespaceParser namespaceFace;

  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    Note("QueryInterface(" + IidName(iid) + ")");
    if (iid == kIidXmlNamespaceParser && offersNamespace) {  // a separate object, recorded apart
      ++namespaceFace.refs;
      *out = static_cast<IXmlNamespaceParser*>(&namespaceFace);
      return kOk;
    }
    return Answer<RecordingParser, IXmlParser>(this, iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return NoteAddRef(); }
  std::uint32_t OXA_CALL Release() override { return NoteRelease(); }
  HResult OXA_CALL Prepare(IXmlParserResponse* r, const char* e, std::uint32_t f) override {
    Note("Prepare(" + std::string(e) + ", " + std::to_string(f) + ")");
    response = r;
    return kOk;
  }
  HResult OXA_CALL Reserved() override {
    Note("Reserved");
    return kFail;
  }
  // Delivers <r a="1"><c/></r>; the attribute set is the parser's own.
  HResult OXA_CALL Feed(IBuffer* data, std::uint32_t final) override {
    Note(std::string("Feed(") + (data == input_ ? "input" : "another buffer") + ", " +
         std::to_string(final) + ")");
    testing::FakeValues attributes;
    attributes.AddString("a", "1");
    testing::FakeValues none;
    response->StartElement("r", &attributes, 1, 1);
    response->StartElement("c", &none, 1, 1);
    response->EndElement("c", 1, 1);
    response->EndElement("r", 1, 1);
    return feedResult;
  }

 private:
  IBuffer* input_;
};

HResult OXA_CALL RecordingNamespaceParser::QueryInterface(const Guid& iid, void** out) {
  Note("QueryInterface(" + IidName(iid) + ")");
  return parser_->QueryInterface(iid, out);
}

HResult OXA_CALL RecordingNamespaceParser::Prepare(IXmlParserResponse* r, IXmlNamespaceResponse*,
                                                   const char* e, char s) {
  Note("Prepare(" + std::string(e) + ", '" + std::string(1, s) + "')");
  parser_->response = r;
  return kOk;
}

// What CreateInstance returns: an object that answers one interface with
// the real one (taking a reference on it, unrecorded), and that the compiler
// releases once asked.
class Created final : public IUnknown, public Recorded {
 public:
  Created(Log* log, void* target, int* targetRefs, const Guid& iid)
      : Recorded(log, "created"), target_(target), targetRefs_(targetRefs), iid_(iid) {}
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    Note("QueryInterface(" + IidName(iid) + ")");
    if (iid != iid_) {
      *out = nullptr;
      return kNoInterface;
    }
    ++*targetRefs_;
    *out = target_;
    return kOk;
  }
  std::uint32_t OXA_CALL AddRef() override { return NoteAddRef(); }
  std::uint32_t OXA_CALL Release() override { return NoteRelease(); }

 private:
  void* target_;
  int* targetRefs_;
  Guid iid_;
};

class RecordingFactory final : public ICommonClassFactory, public Recorded {
 public:
  RecordingFactory(Log* log, RecordingParser* parser, RecordingBuffer* output)
      : Recorded(log, "factory"),
        createdParser(log, static_cast<IXmlParser*>(parser), &parser->refs, kIidXmlParser),
        createdBuffer(log, static_cast<IBuffer*>(output), &output->refs, kIidBuffer),
        log_(log) {}
  Created createdParser;
  Created createdBuffer;

  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    return Answer<RecordingFactory, ICommonClassFactory>(this, iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return static_cast<std::uint32_t>(++refs); }
  std::uint32_t OXA_CALL Release() override { return static_cast<std::uint32_t>(--refs); }
  HResult OXA_CALL CreateInstance(const Guid& classId, IUnknown** out) override {
    Created* created = nullptr;
    if (classId == kClsidXmlParser) {
      log_->push_back("factory.CreateInstance(parser)");
      created = &createdParser;
    } else if (classId == kClsidBuffer) {
      log_->push_back("factory.CreateInstance(buffer)");
      created = &createdBuffer;
    } else {
      log_->push_back("factory.CreateInstance(another class)");
      *out = nullptr;
      return kFail;
    }
    ++created->refs;
    *out = created;
    return kOk;
  }

 private:
  Log* log_;
};

class CallOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(XmlCompiler::CreateComponent(nullptr, main_.Put()), kOk);
    ASSERT_EQ(main_.QueryTo(compiler_), kOk);
    ComPtr<IContextAware> context;
    ASSERT_EQ(main_.QueryTo(context), kOk);
    ASSERT_EQ(context->SetContext(&factory_), kOk);
    log_.clear();
  }
  void TearDown() override {
    compiler_.Reset();
    main_.Reset();
    EXPECT_EQ(factory_.refs, 0);
  }

  // Compiles; the caller's reference on the output is checked, then dropped unrecorded.
  HResult Compile() {
    IBuffer* out = nullptr;
    const HResult hr = compiler_->Compile(&input_, &out);
    EXPECT_EQ(parser_.refs, 0);
    EXPECT_EQ(parser_.namespaceFace.refs, 0);
    EXPECT_EQ(factory_.createdParser.refs, 0);
    EXPECT_EQ(factory_.createdBuffer.refs, 0);
    EXPECT_EQ(input_.refs, 0);
    if (Succeeded(hr)) {
      EXPECT_EQ(out, static_cast<IBuffer*>(&output_));
      EXPECT_EQ(output_.refs, 1) << "the caller's reference only";
      EXPECT_FALSE(output_.bytes.empty());
      output_.refs = 0;
    } else {
      EXPECT_EQ(out, nullptr);
      EXPECT_EQ(output_.refs, 0);
    }
    return hr;
  }

  Log log_;
  RecordingBuffer input_{&log_, "input"};
  RecordingBuffer output_{&log_, "output"};
  RecordingParser parser_{&log_, &input_};
  RecordingFactory factory_{&log_, &parser_, &output_};
  ComPtr<IUnknown> main_;
  ComPtr<IXmlCompiler> compiler_;
};

// The record's pieces, by the steps of Compile.
Log Steps(std::initializer_list<Log> pieces) {
  Log all;
  for (const Log& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  return all;
}
const Log kCreateParser = {"factory.CreateInstance(parser)", "created.QueryInterface(IXmlParser)",
                           "created.Release", "parser.QueryInterface(IXmlNamespaceParser)"};
const Log kPrepareNamespace = {"nsparser.Prepare(UTF-8, ':')"};
const Log kPreparePlain = {"parser.Prepare(UTF-8, 0)"};
const Log kFeed = {"parser.AddRef", "parser.Feed(input, 1)", "parser.Release"};
const Log kHandOver = {"factory.CreateInstance(buffer)", "created.QueryInterface(IBuffer)",
                       "created.Release", "output.Set", "output.AddRef"};
const Log kReleaseOutput = {"output.Release"};
const Log kReleaseNamespace = {"nsparser.Release"};
const Log kReleaseParser = {"parser.Release"};

TEST_F(CallOrderTest, NamespaceParserInTheFrameworksOrder) {
  ASSERT_EQ(Compile(), kOk);
  EXPECT_EQ(log_, Steps({kCreateParser, kPrepareNamespace, kFeed, kHandOver, kReleaseOutput,
                         kReleaseNamespace, kReleaseParser}));
}

TEST_F(CallOrderTest, PlainParserInTheFrameworksOrder) {
  parser_.offersNamespace = false;
  ASSERT_EQ(Compile(), kOk);
  EXPECT_EQ(log_, Steps({kCreateParser, kPreparePlain, kFeed, kHandOver, kReleaseOutput,
                         kReleaseParser}));
}

TEST_F(CallOrderTest, RejectedDocumentMakesNoOutputAndReleasesInOrder) {
  parser_.feedResult = static_cast<HResult>(0x8007000D);
  EXPECT_EQ(Compile(), static_cast<HResult>(0x8007000D));
  EXPECT_EQ(log_,
            Steps({kCreateParser, kPrepareNamespace, kFeed, kReleaseNamespace, kReleaseParser}));
}

}  // namespace
}  // namespace oxa
