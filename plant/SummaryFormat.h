// A summary of records for people (a text table, one HTML page) and for
// machines (JSON).
#pragma once

#include "Summary.h"

#include <nlohmann/json_fwd.hpp>

#include <ctime>
#include <optional>
#include <string>

namespace plant {

// What a report says above its tables.
struct Heading {
	std::string what;                            // the source, e.g. "records.jsonl"
	std::optional<std::time_t> since{}, until{}; // the period asked for, until not included
	std::time_t made = 0;                        // the page's time of making
	std::string maker;                           // "velmora-eeprom 5.4"
};

// Every page SummaryHtml writes holds this mark in its head: a file that
// holds it may be replaced by a new page, any other file may not.
inline constexpr char kPageMark[] = "<meta name=\"generator\" content=\"velmora-eeprom records\">";

// The period the summary covers: "2026-12-07T08:00:00Z to 2026-12-08T11:00:00Z",
// the filters' ends where given.
std::string PeriodText(const Summary &summary, const Heading &heading);

// Why a failed run failed, in words ("the camera did not acknowledge"):
// its result, and for a bus failure the adapter's status.
std::string FailureCause(const FailureRow &failure);

std::string SummaryText(const Summary &summary, const Heading &heading);
nlohmann::ordered_json SummaryJson(const Summary &summary);
// One self-contained page: inline style, an inline SVG bar chart of
// first-pass yield per day, nothing fetched from anywhere.
std::string SummaryHtml(const Summary &summary, const Heading &heading);

} // namespace plant
