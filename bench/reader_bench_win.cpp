// The sound list reader over the real Win32 file functions, timed with the
// performance counter: usage `kardum_reader_bench_win DATA_DIR`. Prints one
// line per input: name, file bytes, runs, seconds of the fastest run, MiB/s
// at that speed (0 when the input is not read whole). The fastest run stands
// for the reader on a machine that others share.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform_win32.h"
#include "reader_inputs.h"
#include "rotation/sound_list.h"
#include "runtime/exceptions.h"

namespace {

constexpr double kMinSeconds = 0.5;
constexpr int kMinRuns = 3;

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

long long FileBytes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DATA_DIR\n", argv[0]);
    return 2;
  }
  kardum::Win32Platform os;
  kardum::SoundListArray list;
  for (const auto& input : kardum_bench::kReaderInputs) {
    const std::string path = std::string(argv[1]) + "\\" + input.name + ".txt";
    const long long bytes = FileBytes(path);
    if (bytes < 0) {
      std::fprintf(stderr, "missing input %s\n", path.c_str());
      return 1;
    }
    try {
      kardum::ReadSoundList(os, path, list);  // warms the file cache
      int runs = 0;
      double best = 0;
      const double start = Now();
      while (runs < kMinRuns || Now() - start < kMinSeconds) {
        const double run_start = Now();
        kardum::ReadSoundList(os, path, list);
        const double seconds = Now() - run_start;
        if (runs == 0 || seconds < best) best = seconds;
        ++runs;
      }
      const double mib_per_s = input.read_whole ? bytes / best / (1024.0 * 1024.0) : 0.0;
      std::printf("%s %lld %d %.9f %.3f\n", input.name, bytes, runs, best, mib_per_s);
    } catch (const kardum::Exception& failure) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), failure.Message().c_str());
      return 1;
    }
  }
  return 0;
}
