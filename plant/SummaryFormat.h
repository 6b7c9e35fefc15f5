// A summary of records for people (a text table, one HTML page) and for
// machines (JSON).
#pragma once

#include "Summary.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace plant {

// "what" names the source and filters in the heading, e.g. "records.jsonl".
std::string SummaryText(const Summary &summary, const std::string &what);
nlohmann::ordered_json SummaryJson(const Summary &summary);
// One self-contained page: inline style, an inline SVG bar chart of
// first-pass yield per day, nothing fetched from anywhere.
std::string SummaryHtml(const Summary &summary, const std::string &what);

} // namespace plant
