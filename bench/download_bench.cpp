// Streams one large body through DownloadFile over WinInet into a new file and prints how long it
// took, the throughput and how much the process's peak memory grew meanwhile:
//   download_bench URL FILE [WARM_UP_URL]
// FILE must not exist yet. Prints "key: value" lines that tools/bench-download reads.
// clang-format off
#include <windows.h>
// clang-format on

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "base/u8path.h"
#include "base/wide.h"
#include "net/transfer.h"
#include "net/wininet_transport.h"
#include "process_memory.h"

using veltrane::bench::Growth;
using veltrane::bench::Peaks;
using veltrane::bench::ReadPeaks;

namespace {

// Counts what the transfer reports, so the figures can be checked against the file.
class CountingSink : public veltrane::net::ProgressSink {
 public:
  void Begin(std::int64_t length) override { length_ = length; }
  void Advance(std::int64_t bytes) override { advanced_ += bytes; }
  std::int64_t length() const { return length_; }
  std::int64_t advanced() const { return advanced_; }

 private:
  std::int64_t length_ = -2;
  std::int64_t advanced_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: download_bench URL FILE [WARM_UP_URL]\n");
    return 2;
  }
  const std::string url = veltrane::win32::Narrow(argv[1]);
  const std::string file_name = veltrane::win32::Narrow(argv[2]);
  const std::optional<std::string> agent = veltrane::win32::OwnExeName();
  veltrane::win32::WinInetTransport transport;

  // The first request loads and sets up WinInet's own state; that is paid once per process,
  // whatever the size of the file, so a small warm-up fetch comes before the measurement.
  if (argc == 4) {
    const std::string warm_file = file_name + ".warm";
    const bool warmed = veltrane::net::DownloadFile(transport, veltrane::win32::Narrow(argv[3]),
                                                    warm_file, nullptr, agent);
    std::error_code warm_ec;
    std::filesystem::remove(veltrane::U8Path(warm_file), warm_ec);
    if (!warmed) {
      std::fprintf(stderr, "warm-up request failed\n");
      return 1;
    }
  }

  CountingSink sink;
  const Peaks before = ReadPeaks();
  const auto start = std::chrono::steady_clock::now();
  bool ok = false;
  try {
    ok = veltrane::net::DownloadFile(transport, url, file_name, &sink, agent);
  } catch (const veltrane::net::LocalFileError& e) {
    std::fprintf(stderr, "local file error: %s\n", e.what());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const Peaks after = ReadPeaks();

  std::error_code ec;
  const auto size = std::filesystem::file_size(veltrane::U8Path(file_name), ec);
  const std::uint64_t bytes = ec ? 0 : size;
  std::printf("downloaded: %s\n", ok ? "yes" : "no");
  std::printf("bytes: %llu\n", static_cast<unsigned long long>(bytes));
  std::printf("stated_length: %lld\n", static_cast<long long>(sink.length()));
  std::printf("progress_bytes: %lld\n", static_cast<long long>(sink.advanced()));
  std::printf("seconds: %.3f\n", seconds);
  std::printf("mib_per_s: %.1f\n",
              seconds > 0 ? static_cast<double>(bytes) / seconds / 1048576.0 : 0.0);
  std::printf("peak_working_set_growth: %llu\n",
              static_cast<unsigned long long>(Growth(before.working_set, after.working_set)));
  std::printf("peak_pagefile_growth: %llu\n",
              static_cast<unsigned long long>(Growth(before.pagefile, after.pagefile)));
  const bool consistent = ok && sink.length() == static_cast<std::int64_t>(bytes) &&
                          sink.advanced() == static_cast<std::int64_t>(bytes);
  return consistent ? 0 : 1;
}
