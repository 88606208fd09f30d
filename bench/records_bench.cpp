// Times the two bulk jobs of a download: decoding a whole log ring (262,144 bytes, 32,768
// records, 8 channels x 4096 minutes) into a fresh table, and writing a full table (65,533
// data rows, 8 channels) as the CSV file. Targets: under 50 ms and under 300 ms.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "download/record_decoder.h"
#include "output/csv_writer.h"
#include "records/log_date.h"

namespace {

using norvale::LogDate;
using norvale::RecordTable;

constexpr int kChannels = 8;
constexpr int kBlockSize = 256;

int bcd(int value) { return value / 10 * 16 + value % 10; }

// Minutes from 3/6/2021 00:01 on, each with one record per channel, as the meter logs them.
std::string makeLog(int minutes) {
  std::string log;
  log.reserve(static_cast<size_t>(minutes) * kChannels * 8);
  LogDate date{2021, 3, 6};
  const int yearCode = 1;  // 2021
  for (int m = 1; m <= minutes; ++m) {
    int minuteOfDay = m % 1440;
    if (minuteOfDay == 0) date = norvale::NextDay(date);
    for (int channel = 1; channel <= kChannels; ++channel) {
      float value = static_cast<float>(m) * 0.25f - static_cast<float>(channel);
      uint32_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      const int record[8] = {channel << 4 | date.month,
                             (yearCode >> 3 & 3) << 6 | bcd(date.day),
                             (yearCode >> 1 & 3) << 6 | bcd(minuteOfDay / 60),
                             (yearCode & 1) << 7 | bcd(minuteOfDay % 60),
                             static_cast<int>(bits >> 24),
                             static_cast<int>(bits >> 16 & 255),
                             static_cast<int>(bits >> 8 & 255),
                             static_cast<int>(bits & 255)};
      for (int b : record) log += static_cast<char>(b);
    }
  }
  return log;
}

void startTable(RecordTable& table) {
  table.setCell(1, 0, "Record #");
  table.setCell(1, 1, "Date / Time");
  for (int k = 1; k <= kChannels; ++k) {
    table.ChannelUsed[k - 1] = true;
    table.setCell(1, k + 1, "Channel " + std::to_string(k));
  }
  table.ChannelIsTotal[7] = true;
  table.LastRow = 1;
}

// Block by block, as the download hands them over.
void decodeLog(const std::string& log, RecordTable& table) {
  norvale::PreviousStamp previous;
  for (size_t at = 0; at < log.size(); at += kBlockSize) {
    norvale::DecodeLogRecords(std::string_view(log).substr(at, kBlockSize), table, previous);
  }
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main() {
  const std::string ring = makeLog(4096);
  const std::string full = makeLog(RecordTable::kRows - 2);
  std::printf("log ring: %zu bytes, %zu records\n", ring.size(), ring.size() / 8);

  RecordTable decoded;
  startTable(decoded);
  auto start = std::chrono::steady_clock::now();
  decodeLog(ring, decoded);
  double decodeMs = millisecondsSince(start);
  std::printf("decode: %.1f ms for %d rows (target < 50 ms), peak memory %ld KiB\n", decodeMs,
              decoded.LastRow - 1, peakKilobytes());

  RecordTable table;
  startTable(table);
  decodeLog(full, table);
  if (table.LastRow != RecordTable::kRows - 1) {
    std::printf("full table has %d rows, expected %d\n", table.LastRow, RecordTable::kRows - 1);
    return 1;
  }
  const std::string path =
      (std::filesystem::temp_directory_path() / "norvale_records_bench.csv").string();
  std::string failure;
  start = std::chrono::steady_clock::now();
  bool ok = norvale::WriteLogFile(table, path, failure);
  double writeMs = millisecondsSince(start);
  if (!ok) {
    std::printf("write failed: %s\n", failure.c_str());
    return 1;
  }
  std::printf("write: %.1f ms for %d rows, %ju bytes (target < 300 ms), peak memory %ld KiB\n",
              writeMs, table.LastRow - 1, static_cast<uintmax_t>(std::filesystem::file_size(path)),
              peakKilobytes());
  std::filesystem::remove(path);
  return decodeMs < 50 && writeMs < 300 ? 0 : 2;
}
