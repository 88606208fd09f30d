#include "handheld/record_block_reader.h"

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
  while (buffer_.size() - used_ < kHandheldRecordSize) {
    buffer_.erase(0, used_);
    used_ = 0;
    size_t have = buffer_.size();
    buffer_.resize(have + kReadAhead);
    int64_t got = file_.read(buffer_.data() + have, static_cast<int64_t>(kReadAhead));
    buffer_.resize(have + static_cast<size_t>(got > 0 ? got : 0));
    if (got < 0) return Next::Failed;
    if (got == 0) return Next::End;
  }
  block = std::string_view(buffer_).substr(used_, kHandheldRecordSize);
  used_ += kHandheldRecordSize;
  position_ += static_cast<int64_t>(kHandheldRecordSize);
  return Next::Block;
}

}  // namespace norvale
