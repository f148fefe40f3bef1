// The compiled document format, byte for byte, and the writer's block.
#include "compiler/document_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/compile_events.h"

namespace oxa {
namespace {

using testing::CompileMarkup;

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t w : words) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  }
  return bytes;
}

void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

std::vector<std::uint8_t> Text(const char* s, std::size_t n) {
  return std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s),
                                   reinterpret_cast<const std::uint8_t*>(s) + n);
}

std::uint32_t WordAt(const std::vector<std::uint8_t>& b, std::size_t at) {
  return format::LoadUInt32(b.data() + at);
}

TEST(DocumentWriterTest, WorkedExampleIsExact) {
  std::vector<std::uint8_t> expected = Words({0, 128, 1, 32, 4, 0, 2, 4, 6, 8});
  Append(expected, Text("1\0a\0b\0x\0", 8));
  Append(expected, Words({2, 80, 3, 72, 1, 4, 12, 1, 3, 0, 5, 40, 1, 3, 28, 2, 4, 4, 0, 5, 4, 0}));
  ASSERT_EQ(expected.size(), 136u);
  const auto result = CompileMarkup(R"(<a x="1"><b/></a>)");
  ASSERT_EQ(result.hr, kOk);
  EXPECT_EQ(result.bytes, expected);
}

TEST(DocumentWriterTest, ListExampleSortsByUnsignedBytes) {
  const std::uint8_t expected[206] = {
      0x00, 0x00, 0x00, 0x00, 0xC6, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00,
      0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x04, 0x00,
      0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x12,
      0x00, 0x00, 0x00, 0x5A, 0x00, 0x61, 0x00, 0x62, 0x00, 0x69, 0x74, 0x65, 0x6D, 0x00, 0x6C,
      0x69, 0x73, 0x74, 0x00, 0x71, 0x00, 0x02, 0x00, 0x00, 0x00, 0x84, 0x00, 0x00, 0x00, 0x03,
      0x00, 0x00, 0x00, 0x7C, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
      0x14, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00,
      0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x54, 0x00,
      0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x1C, 0x00, 0x00, 0x00, 0x03,
      0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x05, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,
      0x00, 0x24, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x0C, 0x00,
      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x05,
      0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  const auto result = CompileMarkup(R"(<list b="Z" a="q"><item/><item a="q"/></list>)");
  ASSERT_EQ(result.hr, kOk);
  EXPECT_EQ(result.bytes, std::vector<std::uint8_t>(expected, expected + 206));
}

TEST(DocumentWriterTest, SingleRootsAndUnalignedTree) {
  const auto r = CompileMarkup("<r/>");
  ASSERT_EQ(r.bytes.size(), 74u);
  EXPECT_EQ(WordAt(r.bytes, 12), 14u) << "string table length";
  EXPECT_EQ(WordAt(r.bytes, 30), 2u) << "TreeChunk tag right after 'r' and its zero";
  EXPECT_EQ(WordAt(r.bytes, 34), 36u);
  EXPECT_EQ(WordAt(r.bytes, 42), 28u) << "ElementChunk length";

  const auto ab = CompileMarkup("<ab/>");
  ASSERT_EQ(ab.bytes.size(), 75u);
  EXPECT_EQ(WordAt(ab.bytes, 31), 2u) << "no padding after the string data";
  EXPECT_EQ(WordAt(ab.bytes, 4), 67u);
}

TEST(DocumentWriterTest, SharedStringsCarryOneIndex) {
  // "v" is an element name and two attribute values; "k" two attribute names.
  const auto r = CompileMarkup(R"(<v k="v"><w k="v"/></v>)");
  ASSERT_EQ(r.hr, kOk);
  EXPECT_EQ(WordAt(r.bytes, 16), 3u) << "k, v, w";
  // Root record: name index, then one attribute pair, all pointing at the same entries.
  const std::size_t root = 8 + 8 + WordAt(r.bytes, 12) + 8 + 8;
  EXPECT_EQ(WordAt(r.bytes, root), 1u) << "name v";
  EXPECT_EQ(WordAt(r.bytes, root + 12), 1u) << "one attribute";
  EXPECT_EQ(WordAt(r.bytes, root + 16), 0u) << "name k";
  EXPECT_EQ(WordAt(r.bytes, root + 20), 1u) << "value v";
}

TEST(DocumentWriterTest, NoRootIsReportedAndNothingWritten) {
  TreeBuilder builder;
  DocumentWriter writer;
  builder.FinishParse();
  ComPtr<IBuffer> out(SimpleBuffer::Create());
  EXPECT_EQ(
      writer.WriteDocument(builder.Root(), builder.GetCensus(), builder.GetIndexLog(), out.Get()),
      kFail);
  EXPECT_EQ(writer.Writer().Size(), 0u);
  EXPECT_EQ(out->GetSize(), 0u);
}

TEST(DocumentWriterTest, FailingBufferSetIsReported) {
  TreeBuilder builder;
  DocumentWriter writer;
  testing::Deliver(testing::ParseEvents("<r/>"), builder);
  builder.FinishParse();
  ComPtr<IBuffer> out(SimpleBuffer::Create());
  out->AddRef();  // a second reference: Set refuses to resize
  EXPECT_EQ(
      writer.WriteDocument(builder.Root(), builder.GetCensus(), builder.GetIndexLog(), out.Get()),
      kBufferShared);
  out->Release();
}

TEST(DocumentWriterTest, BlockGrowsFrom50AndIsReused) {
  TreeBuilder builder;
  DocumentWriter writer;
  ASSERT_EQ(CompileMarkup(builder, writer, R"(<a x="1"><b/></a>)").bytes.size(), 136u);
  EXPECT_EQ(writer.Writer().Growths(), 3u) << "50, 100, 200";
  EXPECT_EQ(writer.Writer().Capacity(), 200u);
  EXPECT_EQ(CompileMarkup(builder, writer, "<r/>").bytes.size(), 74u);
  EXPECT_EQ(writer.Writer().Growths(), 3u);
  std::string wide = "<root>";
  for (int i = 0; i < 20; ++i) wide += "<child/>";
  wide += "</root>";
  const auto big = CompileMarkup(builder, writer, wide);
  EXPECT_EQ(big.bytes.size(), 807u);
  EXPECT_EQ(writer.Writer().Capacity(), 1600u);
}

TEST(DocumentWriterTest, ComposeGrowsTheBlockOnceToTheRulesCapacity) {
  // The size is known before writing, so the block goes straight to the
  // capacity byte-by-byte growth would reach, with no copies on the way.
  TreeBuilder builder;
  DocumentWriter writer;
  auto compose = [&](const std::string& markup) {
    testing::Deliver(testing::ParseEvents(markup), builder);
    builder.FinishParse();
    EXPECT_EQ(writer.Compose(builder.Root(), builder.GetCensus(), builder.GetIndexLog()), kOk);
    const std::uint32_t size = writer.Writer().Size();
    builder.Reset();
    writer.Rewind();
    return size;
  };
  EXPECT_EQ(compose(R"(<a x="1"><b/></a>)"), 136u);
  EXPECT_EQ(writer.Writer().Growths(), 1u);
  EXPECT_EQ(writer.Writer().Capacity(), 200u);
  EXPECT_EQ(compose("<r/>"), 74u);
  EXPECT_EQ(writer.Writer().Growths(), 1u) << "the block is reused";
  std::string wide = "<root>";
  for (int i = 0; i < 20; ++i) wide += "<child/>";
  wide += "</root>";
  EXPECT_EQ(compose(wide), 807u);
  EXPECT_EQ(writer.Writer().Growths(), 2u);
  EXPECT_EQ(writer.Writer().Capacity(), 1600u);
}

TEST(DocumentWriterTest, SameInputTwiceGivesSameBytes) {
  TreeBuilder builder;
  DocumentWriter writer;
  const std::string long_doc = R"(<page title="a long title of many bytes"><x/><y/><z/></page>)";
  const auto first = CompileMarkup(builder, writer, long_doc);
  const auto shorter = CompileMarkup(builder, writer, "<r/>");
  const auto again = CompileMarkup(builder, writer, long_doc);
  EXPECT_EQ(first.bytes, again.bytes);
  EXPECT_EQ(shorter.bytes, CompileMarkup("<r/>").bytes);
}

TEST(ChunkWriterTest, ChunksNestAndPatchLengths) {
  ChunkWriter w;
  w.BeginChunk(7);
  w.WriteUInt32(0x01020304);
  w.BeginChunk(8);
  w.AppendBytes("hi", 3);  // the text and its zero byte
  EXPECT_EQ(w.OpenChunks(), 2);
  w.EndChunk();
  w.EndChunk();
  EXPECT_EQ(w.OpenChunks(), 0);
  const std::vector<std::uint8_t> bytes(w.Data(), w.Data() + w.Size());
  std::vector<std::uint8_t> expected = Words({7, 15, 0x01020304, 8, 3});
  Append(expected, Text("hi\0", 3));
  EXPECT_EQ(bytes, expected);
}

TEST(ChunkWriterTest, ClaimedBytesHoldAChunkOpenedInThem) {
  ChunkWriter w;
  w.WriteUInt32(1);
  std::uint8_t* p = w.Claim(12);
  EXPECT_EQ(p, w.Data() + 4);
  EXPECT_EQ(w.Size(), 16u);
  format::StoreUInt32(p, 9);
  format::StoreUInt32(p + 4, 0);
  format::StoreUInt32(p + 8, 0xA1B2C3D4);
  w.OpenChunk(8);
  w.WriteUInt32(5);
  w.EndChunk();
  const std::vector<std::uint8_t> bytes(w.Data(), w.Data() + w.Size());
  EXPECT_EQ(bytes, Words({1, 9, 8, 0xA1B2C3D4, 5}));
  w.Claim(1000);
  EXPECT_EQ(w.Capacity(), 1600u) << "claims grow the block by the same rule";
}

TEST(ChunkWriterTest, LargeRunJumpsToTheRightCapacity) {
  ChunkWriter w;
  std::string big(1000, 'x');
  w.AppendBytes(big.c_str(), big.size() + 1);
  EXPECT_EQ(w.Capacity(), 1600u);
  EXPECT_EQ(w.Size(), 1001u);
}

}  // namespace
}  // namespace oxa
