#include "download/meter_log_download.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "download/last_download_pointer.h"
#include "download/log_pointer.h"
#include "download/record_decoder.h"
#include "download/status_block.h"
#include "records/download_result.h"
#include "records/fill_bytes.h"
#include "records/meter_float.h"
#include "records/table_layout.h"
#include "text/leading_number.h"
#include "text/number_text.h"

namespace norvale {
namespace {

constexpr int kBlockBytes = 256;
constexpr int kBlockTries = 8;
constexpr int kChannelSetupPasses = 8;
// Four set-up reads in a row that go unanswered for their whole wait end the download after
// about two minutes. A reply that fails its CRC says the meter is there: it is read again.
constexpr int kSetupFailuresInARow = 4;
constexpr int kSetupBank = 24;
constexpr int kSetupWords = 100;
constexpr double kRecordCountLimit = 65536;
constexpr int kChannelColumnTwips = 2000;

// Channel set-up record: the name sits at bytes 65..96.
constexpr size_t kNameOffset = 64;
constexpr size_t kNameLength = 32;

// Records used / available: a meter number; outside +-65536 the box shows "Error" and it counts 0.
int32_t ShowRecordCount(const std::array<int, 4>& bytes, DownloadView& view, int box) {
  double value = DecodeMeterFloat(bytes[0], bytes[1], bytes[2], bytes[3]);
  if (value > kRecordCountLimit || value < -kRecordCountLimit) {
    view.setChannelBox(box, "Error");
    return 0;
  }
  double whole = std::floor(value);
  view.setChannelBox(box, NumberText(whole));
  return static_cast<int32_t>(whole);
}

// Reads each channel's name until all eight are read; false after the pass limit, as soon as
// the meter has let several reads in a row go unanswered (each costs its 30-s limit), or when the
// download has stalled.
bool ReadChannelSetup(MeterLink& link, const SettingsRecord& settings, RecordTable& records,
                      DownloadView& view, std::array<std::string, RecordTable::kChannels>& names,
                      StallWatch& watch) {
  std::array<bool, RecordTable::kChannels> read{};
  int failuresInARow = 0;
  for (int pass = 0; pass < kChannelSetupPasses; ++pass) {
    for (int k = 1; k <= RecordTable::kChannels; ++k) {
      if (read[k - 1]) continue;
      if (watch.stalled()) return false;
      if (!link.ReadLogBlock(settings.CommSlaveID, kSetupBank, 128 + k, 0, kSetupWords)) {
        if (link.lastReplyOutcome() != MeterLink::ReplyOutcome::NoReply) {
          failuresInARow = 0;
        } else if (++failuresInARow >= kSetupFailuresInARow) {
          return false;
        }
      } else {
        failuresInARow = 0;
        watch.progressed();
        read[k - 1] = true;
        const std::string& reply = link.state().ReplyText;
        std::string name = reply.size() > kNameOffset
                               ? StripFillBytes(reply.substr(kNameOffset, kNameLength))
                               : "";
        names[k - 1] = name;
        if (name == "Not Used") {
          records.ChannelUsed[k - 1] = false;
        } else if (!name.empty()) {
          records.ChannelUsed[k - 1] = true;
          view.setChannelBox(k - 1, name);
          records.ChannelIsTotal[k - 1] = name.find("Tot") != std::string::npos;
        }
      }
      link.pump().yieldOnce();
    }
    bool allRead = true;
    for (bool r : read) allRead = allRead && r;
    if (allRead) return true;
  }
  return false;
}

int ProgressPercent(int32_t bytesRead, int32_t byteCount) {
  if (bytesRead > byteCount) return 100;
  return static_cast<int>(RoundHalfEven(100.0 * bytesRead / byteCount));
}

// Where the download starts and ends in the log ring, and how many bytes lie between.
struct LogRange {
  LogPointer start;
  LogPointer read;
  LogPointer end;
  int32_t byteCount = 0;
};

// Reads the pointers (the status block, and the previous download's end for "Since Last Time")
// and shows the record counts; kLogRead when there is a consistent range to read.
DownloadResult FindLogRange(MeterLink& link, const SettingsRecord& settings, DownloadView& view,
                            bool SinceLastTime, LogRange& range) {
  if (SinceLastTime) {
    LogPointer last;
    if (!ReadLastDownloadPointer(link, settings.CommSlaveID, last))
      return DownloadResult::kDownloadError;
    range.start = last;
    range.read = last;
    range.read.low += 8;
    range.read.carry();
  }
  if (!link.ReadHoldingRegisters(settings.CommSlaveID, 0, 76, 8))
    return DownloadResult::kDownloadError;
  StatusBlock status = ParseStatusBlock(link.state().ReplyText, settings.PortableMeter);
  if (!SinceLastTime) {
    range.start = status.start;
    range.read = status.start;
  }
  range.end = status.end;
  // Equal pointers say there is nothing to read, wherever they point.
  if (range.start.packed() == range.end.packed()) return DownloadResult::kNothingToRead;
  // Pointers outside the ring would address memory that is no log: the block is inconsistent.
  if (!range.start.inRing() || !range.end.inRing() || !range.read.inRing())
    return DownloadResult::kDownloadError;
  range.byteCount = LogByteCount(range.start, range.end);

  int32_t recordsUsed = ShowRecordCount(status.recordsUsed, view, 9);
  if (std::abs(recordsUsed * 8) - range.byteCount > 8) return DownloadResult::kDownloadError;
  ShowRecordCount(status.recordsAvailable, view, 8);
  link.pump().yieldOnce();
  return DownloadResult::kLogRead;
}

// Reads and decodes the log blocks of the range, block after block, into the table.
DownloadResult ReadLogBlocks(MeterLink& link, const SettingsRecord& settings, RecordTable& records,
                             DownloadView& view, LogRange range, StallWatch& watch) {
  const int32_t byteCount = range.byteCount;
  const int blockSize = byteCount <= kBlockBytes ? byteCount : kBlockBytes;
  LogPointer& read = range.read;
  int32_t bytesRead = 0;
  // Reading goes on past the counted end by up to a block. On a full ring that would come round
  // to the counted start and add the oldest records a second time, so nothing from there on is
  // read or decoded.
  int32_t untilStartAgain =
      kLogRingBytes - (read.position() - range.start.position() + kLogRingBytes) % kLogRingBytes;
  int tries = 0;
  PreviousStamp previousStamp;
  while (untilStartAgain > 0) {
    if (watch.stalled()) return DownloadResult::kDownloadError;
    if (!link.ReadLogBlock(settings.CommSlaveID, read.bank, read.high, read.low, blockSize / 2)) {
      if (++tries >= kBlockTries) return DownloadResult::kDownloadError;
      continue;
    }
    tries = 0;
    watch.progressed();
    view.setProgress(ProgressPercent(bytesRead, byteCount));
    std::string_view block = link.state().ReplyText;
    if (static_cast<int32_t>(block.size()) > untilStartAgain)
      block = block.substr(0, untilStartAgain);
    untilStartAgain -= blockSize;
    if (!DecodeLogRecords(block, records, previousStamp)) break;

    if (bytesRead + kBlockBytes <= byteCount) {
      bytesRead += kBlockBytes;
      read.high += 1;
      read.carry();
    } else {
      // This block reached the end of the count: one more full block is read, unless the
      // whole log fitted in one short block.
      if (blockSize < kBlockBytes || bytesRead >= byteCount) break;
      bytesRead += blockSize;
      read.low += blockSize;
      read.carry();
    }
    if (read == range.end) break;
  }
  return DownloadResult::kLogRead;
}

}  // namespace

DownloadResult DownloadMeterLog(MeterLink& link, const SettingsRecord& settings,
                                RecordTable& records, DownloadView& view, bool SinceLastTime) {
  StallWatch watch(link);
  return DownloadMeterLog(link, settings, records, view, SinceLastTime, watch);
}

DownloadResult DownloadMeterLog(MeterLink& link, const SettingsRecord& settings,
                                RecordTable& records, DownloadView& view, bool SinceLastTime,
                                StallWatch& watch) {
  view.setProgress(0);
  LogRange range;
  if (DownloadResult found = FindLogRange(link, settings, view, SinceLastTime, range);
      found != DownloadResult::kLogRead)
    return found;

  for (int box = 0; box < RecordTable::kChannels; ++box) view.setChannelBox(box, "");
  StartTitleRow(records, TitleEmphasis::TitlesOnly);
  std::array<std::string, RecordTable::kChannels> names;
  if (!ReadChannelSetup(link, settings, records, view, names, watch))
    return DownloadResult::kDownloadError;
  for (int k = 1; k <= RecordTable::kChannels; ++k) {
    if (records.ChannelUsed[k - 1]) WriteChannelTitle(records, k, names[k - 1]);
  }
  SetRecordColumnWidths(records, kChannelColumnTwips);
  link.pump().yieldOnce();

  RedrawPause redrawOff(records);
  view.setStatusText(SinceLastTime ? "Since Last Time Download" : "All Data Download");
  link.pump().yieldOnce();
  return ReadLogBlocks(link, settings, records, view, range, watch);
}

}  // namespace norvale
