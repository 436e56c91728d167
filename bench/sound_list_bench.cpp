// How the sound list reader's cost grows with its input, natively, over real
// files: usage `kardum_sound_list_bench [--benchmark_...] DATA_DIR`.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "posix_platform.h"
#include "reader_inputs.h"
#include "rotation/sound_list.h"
#include "runtime/exceptions.h"

namespace {

void ReadList(benchmark::State& state, const std::string& path, bool read_whole) {
  kardum_bench::PosixPlatform os;
  kardum::SoundListArray list;
  std::error_code error;
  const auto file_size = std::filesystem::file_size(path, error);
  if (error) {
    state.SkipWithError(("missing input " + path).c_str());
    return;
  }
  try {
    for (auto _ : state) {
      int count = kardum::ReadSoundList(os, path, list);
      benchmark::DoNotOptimize(count);
      benchmark::ClobberMemory();
    }
  } catch (const kardum::Exception& failure) {
    state.SkipWithError((path + ": " + failure.Message()).c_str());
    return;
  }
  state.counters["file_bytes"] = static_cast<double>(file_size);
  if (read_whole) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file_size));
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s [--benchmark_...] DATA_DIR\n", argv[0]);
    return 2;
  }
  const std::string data_dir = argv[1];
  for (const auto& input : kardum_bench::kReaderInputs) {
    const std::string path = data_dir + "/" + input.name + ".txt";
    // Reading is mostly waiting on the system, so speed is bytes per wall
    // second. Repeated, so that the best repetition can stand for the reader
    // on a machine that others share.
    benchmark::RegisterBenchmark(input.name, ReadList, path, input.read_whole)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime()
        ->MinTime(1.0)
        ->Repetitions(3);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
