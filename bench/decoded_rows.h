// Rows as a download fills them: generated relay records run through the real decoders, kept
// as the (column, value) pairs the download sets, so saving them costs what a download's do.
#pragma once

#include "store/log_row.h"

#include <string_view>
#include <utility>
#include <vector>

namespace zklog::bench {

using FieldSettings = std::vector<std::pair<std::string_view, store::FieldValue>>;

// The fields of the first `count` records of a generated log (all four record shapes among
// them), NULL columns left out as the download leaves them unset.
std::vector<FieldSettings> decoded_rows(int count, unsigned seed);

} // namespace zklog::bench
