// Throughput of every CRC-32 kernel this processor runs, over buffers already in memory, next to
// the table-per-byte loop the kernels replace. Sizes span a short entry, a read block of the
// verifier (128 KiB, held in the L2 cache) and a buffer larger than the caches.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "scan/crc32_kernel.h"

namespace {

std::uint32_t TablePerByteUpdate(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  static const auto table = [] {
    std::vector<std::uint32_t> t(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) {
        c = (c & 1u) != 0 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      }
      t[i] = c;
    }
    return t;
  }();
  for (std::size_t i = 0; i < size; ++i) {
    crc = (crc >> 8) ^ table[(crc ^ data[i]) & 0xFFu];
  }
  return crc;
}

struct AlignedDelete {
  void operator()(unsigned char* p) const { ::operator delete[](p, std::align_val_t{64}); }
};

void RunKernel(benchmark::State& state, qs::Crc32UpdateFunction update, std::size_t offset) {
  const auto size = static_cast<std::size_t>(state.range(0));
  std::unique_ptr<unsigned char[], AlignedDelete> buffer(
      static_cast<unsigned char*>(::operator new[](size + offset, std::align_val_t{64})));
  for (std::size_t i = 0; i < size + offset; ++i) {
    buffer[i] = static_cast<unsigned char>(i * 131 + 7);
  }
  std::uint32_t crc = 0xFFFFFFFFu;
  for (auto _ : state) {
    crc = update(crc, buffer.get() + offset, size);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(size));
}

void Register(const std::string& name, qs::Crc32UpdateFunction update, bool slow) {
  auto* aligned = benchmark::RegisterBenchmark(
      ("crc32/" + name).c_str(),
      [update](benchmark::State& state) { RunKernel(state, update, 0); });
  aligned->Arg(64)->Arg(1024)->Arg(64 * 1024)->Arg(128 * 1024);
  if (!slow) {
    aligned->Arg(16 * 1024 * 1024);
  }
  // Read buffers need not be aligned: one byte off, at the verifier's block size.
  benchmark::RegisterBenchmark(("crc32/" + name + "/misaligned").c_str(),
                               [update](benchmark::State& state) { RunKernel(state, update, 1); })
      ->Arg(128 * 1024);
}

}  // namespace

int main(int argc, char** argv) {
  Register("table-per-byte", TablePerByteUpdate, true);
  for (const qs::Crc32Kernel& kernel : qs::AvailableCrc32Kernels()) {
    Register(std::string(kernel.name), kernel.update, false);
  }
  benchmark::AddCustomContext("active_kernel", std::string(qs::ActiveCrc32Kernel().name));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
