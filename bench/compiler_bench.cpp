// Builder + writer throughput on synthetic event streams (no parser).
#include <benchmark/benchmark.h>

#include <xmlcompiler/com/com_ptr.h>
#include "com/simple_buffer.h"
#include "compiler/document_writer.h"
#include "compiler/tree_builder.h"
#include "event_stream.h"

namespace oxa::bench {
namespace {

void Compile(benchmark::State& state, const Stream& stream) {
  TreeBuilder builder;
  DocumentWriter writer;
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    Deliver(stream, builder);
    builder.FinishParse();
    ComPtr<IBuffer> out(SimpleBuffer::Create());
    if (writer.WriteDocument(builder.Root(), builder.GetCensus(), builder.GetIndexLog(),
                             out.Get()) != kOk) {
      state.SkipWithError("compile failed");
      break;
    }
    bytes = out->GetSize();
    builder.Reset();
    writer.Rewind();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * stream.elements));
  state.counters["elements"] = static_cast<double>(stream.elements);
  state.counters["out_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_Realistic(benchmark::State& state) {
  static const Stream stream = RealisticStream(1000000);
  Compile(state, stream);
}
BENCHMARK(BM_Realistic)->Unit(benchmark::kMillisecond);

void BM_DistinctStrings(benchmark::State& state) {
  const Stream stream = DistinctStringsStream(static_cast<std::uint64_t>(state.range(0)));
  Compile(state, stream);
}
BENCHMARK(BM_DistinctStrings)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_Deep(benchmark::State& state) {
  static const Stream stream = DeepStream(1000000);
  Compile(state, stream);
}
BENCHMARK(BM_Deep)->Unit(benchmark::kMillisecond);

void BM_Wide(benchmark::State& state) {
  static const Stream stream = WideStream(1000000);
  Compile(state, stream);
}
BENCHMARK(BM_Wide)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace oxa::bench

BENCHMARK_MAIN();
