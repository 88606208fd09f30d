#include "handheld/database_header.h"

#include <algorithm>
#include <string>

namespace norvale {
namespace {

constexpr size_t kNameBytes = 32;
constexpr size_t kTypeAt = 60;
constexpr size_t kCodeBytes = 8;  // type and creator
constexpr size_t kRecordCountAt = 76;
constexpr int64_t kRecordEntryBytes = 8;

}  // namespace

bool IsDatabaseHeader(std::string_view header, int64_t fileSize) {
  if (header.size() < static_cast<size_t>(kDatabaseHeaderBytes)) return false;
  if (header.substr(0, kNameBytes).find('\0') == std::string_view::npos) return false;
  const std::string_view codes = header.substr(kTypeAt, kCodeBytes);
  if (!std::all_of(codes.begin(), codes.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
    return false;
  }
  const int64_t records = (static_cast<unsigned char>(header[kRecordCountAt]) << 8) |
                          static_cast<unsigned char>(header[kRecordCountAt + 1]);
  return kDatabaseHeaderBytes + records * kRecordEntryBytes <= fileSize;
}

bool HasDatabaseHeader(HandheldFile& file) {
  if (!file.seek(0)) return false;
  std::string header(static_cast<size_t>(kDatabaseHeaderBytes), '\0');
  int64_t have = 0;
  while (have < kDatabaseHeaderBytes) {
    const int64_t got = file.read(header.data() + have, kDatabaseHeaderBytes - have);
    if (got <= 0) break;
    have += got;
  }
  header.resize(static_cast<size_t>(have));
  return IsDatabaseHeader(header, file.size());
}

}  // namespace norvale
