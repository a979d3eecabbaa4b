// The relay's time stamp, read as the workbook export reads it, so that a chart and a
// spreadsheet never disagree on which records have a real date.
#pragma once

#include "store/log_stamp.h"

namespace zklog::view {

using store::parse_time_stamp;
using store::seconds_since_2000;
using store::TimeStamp;

} // namespace zklog::view
