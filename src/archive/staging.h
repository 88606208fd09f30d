#pragma once

#include <string>

#include "archive/archive_schema.h"

namespace norvale {

// The temporary table, one per connection, where a merge puts a download before comparing it
// with the history: a row per logged time, a value column per channel (v1 to v8, NULL where the
// time has none). A row of nine binds costs the driver a third of what eight rows of three do.
std::string CreateStagingSql(const SqlDialect& dialect);

}  // namespace norvale
