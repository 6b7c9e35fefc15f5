// Texts of the white-balance mode display, shared by the read-back and the
// white-balance handlers.
#pragma once

namespace panel {

constexpr char kWbTextAuto[] = "AWB";
constexpr char kWbTextAutoAtConnect[] = "AWB!";
constexpr char kWbTextRunning[] = "P2W running";
constexpr char kWbTextHeld[] = "P2W = set";
constexpr char kWbTextManual[] = "Manual WB";

} // namespace panel
