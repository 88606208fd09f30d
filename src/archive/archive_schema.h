#pragma once

#include <string>
#include <vector>

#include "archive/archive_location.h"

namespace norvale {

// What the two engines spell differently; every other statement of the archive is one text.
struct SqlDialect {
  const char* driver;             // the Qt SQL driver
  const char* idColumn;           // a generated integer key
  const char* keyedTableOptions;  // after a table keyed by its primary key alone
  const char* beginWrite;         // a transaction that writes, taking the write lock at once
  const char* lockMeterRow;       // after the SELECT of a meter's row, to merge one at a time
  const char* lockSchema;         // first in the transaction that creates or upgrades the schema
};

const SqlDialect& DialectOf(ArchiveLocation::Engine engine);

// Version 1: meters, channel names, logged values and downloads.
// Version 2: downloads found by meter and time.
inline constexpr int kArchiveSchemaVersion = 2;

// The statements that bring a schema from version `from` to `from + 1` (from 0: none at all);
// the version row is the caller's.
std::vector<std::string> SchemaStep(int from, const SqlDialect& dialect);

}  // namespace norvale
