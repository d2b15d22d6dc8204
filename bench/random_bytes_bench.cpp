// The "RANDOM" generator filling one 1 MiB block, beside memset of the same block
// (what the memory allows at most) and beside reading the block from /dev/urandom,
// all on one core in the same run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "engine/fill_worker.h"
#include "engine/random_bytes.h"

namespace {

// The worker's own kind of block: 1 MiB, aligned to a page.
struct Block {
    Block() : bytes(static_cast<unsigned char*>(::operator new(fillBlockSize, std::align_val_t{4096}))) {
        std::memset(bytes, 0, fillBlockSize);
    }
    ~Block() { ::operator delete(bytes, std::align_val_t{4096}); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    unsigned char* bytes;
};

// What the fill worker calls for every "RANDOM" block, with the code chosen at run time.
void BM_FillRandomBytes(benchmark::State& state) {
    Block block;
    for (auto _ : state) {
        fillRandomBytes(block.bytes, fillBlockSize);
        benchmark::DoNotOptimize(block.bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fillBlockSize);
    state.SetLabel(chosenRandomBytesCode() == RandomBytesCode::Avx2 ? "avx2" : "portable");
}
BENCHMARK(BM_FillRandomBytes);

// Each code of the generator on its own, where this processor can run it.
void BM_RandomBytesCode(benchmark::State& state) {
    const auto code = static_cast<RandomBytesCode>(state.range(0));
    if (!randomBytesCodeAvailable(code)) {
        state.SkipWithError("this processor cannot run that code");
        return;
    }
    Block block;
    RandomBytesGenerator generator(12345);
    for (auto _ : state) {
        generator.fill(code, block.bytes, fillBlockSize);
        benchmark::DoNotOptimize(block.bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fillBlockSize);
    state.SetLabel(code == RandomBytesCode::Avx2 ? "avx2" : "portable");
}
BENCHMARK(BM_RandomBytesCode)
    ->Arg(static_cast<int>(RandomBytesCode::Portable))
    ->Arg(static_cast<int>(RandomBytesCode::Avx2));

void BM_Memset(benchmark::State& state) {
    Block block;
    int value = 0;
    for (auto _ : state) {
        std::memset(block.bytes, value++ & 0xFF, fillBlockSize);
        benchmark::DoNotOptimize(block.bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fillBlockSize);
}
BENCHMARK(BM_Memset);

void BM_DevUrandom(benchmark::State& state) {
    const int descriptor = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        state.SkipWithError("/dev/urandom cannot be opened");
        return;
    }
    Block block;
    for (auto _ : state) {
        std::size_t got = 0;
        while (got < fillBlockSize) {
            const ssize_t part = ::read(descriptor, block.bytes + got, fillBlockSize - got);
            if (part <= 0) break;
            got += static_cast<std::size_t>(part);
        }
        benchmark::DoNotOptimize(block.bytes);
        benchmark::ClobberMemory();
    }
    ::close(descriptor);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fillBlockSize);
}
BENCHMARK(BM_DevUrandom);

}  // namespace

BENCHMARK_MAIN();
