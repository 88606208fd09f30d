#include "handheld/record_block_reader.h"

#include <algorithm>

#include "handheld/handheld_record.h"

namespace norvale {
namespace {

constexpr size_t kReadAhead = 64 * 1024;

}  // namespace

RecordBlockReader::RecordBlockReader(HandheldFile& file, int64_t start)
    : file_(file), position_(start) {}

RecordBlockReader::Next RecordBlockReader::next(std::string_view& block) {
  if (!positioned_) {
    if (!file_.seek(position_)) return Next::Failed;
    positioned_ = true;
  }
  while (end_ - begin_ < kHandheldRecordSize) {
    // A block's first bytes move to the front and the rest is read behind them.
    if (begin_ > 0) {
      std::copy(buffer_.begin() + begin_, buffer_.begin() + end_, buffer_.begin());
      end_ -= begin_;
      begin_ = 0;
    }
    if (buffer_.empty()) buffer_.resize(kHandheldRecordSize + kReadAhead);
    int64_t got = file_.read(buffer_.data() + end_, static_cast<int64_t>(kReadAhead));
    if (got < 0) return Next::Failed;
    if (got == 0) return Next::End;
    end_ += static_cast<size_t>(got);
  }
  block = std::string_view(buffer_.data() + begin_, kHandheldRecordSize);
  begin_ += kHandheldRecordSize;
  position_ += static_cast<int64_t>(kHandheldRecordSize);
  return Next::Block;
}

}  // namespace norvale
