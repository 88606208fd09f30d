#pragma once

#include <cstdint>
#include <string_view>

#include "handheld/handheld_file.h"

namespace norvale {

// The 78 bytes a handheld database opens with, as far as they tell a database from another file:
//
//   0  name, 32 bytes, ended by a zero byte     60  type, 4 printable characters
//  ...                                          64  creator, 4 printable characters
//                                               76  record count, 16 bits, high byte first,
//                                                   each record listed in 8 bytes after the header
//
// The import itself never reads the header; it only tells a file the user mistook for a
// database from a database that holds no records.
inline constexpr int64_t kDatabaseHeaderBytes = 78;

bool IsDatabaseHeader(std::string_view header, int64_t fileSize);

// Reads the header of an open file from its start.
bool HasDatabaseHeader(HandheldFile& file);

}  // namespace norvale
