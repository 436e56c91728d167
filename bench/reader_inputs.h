// The sound list files both reader benchmarks time, natively and under Wine.
// bench/benchmark.py writes them as <data dir>/<name>.txt.
#pragma once

namespace kardum_bench {

struct ReaderInput {
  const char* name;
  // Whether the whole file is read, so that MiB/s means something; the rest
  // stop after the list's last entry.
  bool read_whole;
};

inline constexpr ReaderInput kReaderInputs[] = {
    {"line_1KiB", true},
    {"line_1MiB", true},
    {"line_64MiB", true},
    {"lines_50", false},
    {"lines_50_tail_100MiB", false},
};

}  // namespace kardum_bench
