#include "PictureCheck.h"

#include "BusName.h"
#include "CaptureDevice.h"
#include "IICTransfer.h"
#include "registers.h"

#include <algorithm>

namespace eeprom_cli {

using namespace tool;

namespace {

constexpr std::uint16_t kErasedRegister = 0xFFFF;
constexpr int kSensorTrimHigh = 0x00; // a trim register takes 0x00, trim

const kl310::Reg kOverlayRegs[4] = { kl310::REG_OVERLAY1, kl310::REG_OVERLAY2, kl310::REG_OVERLAY3,
				     kl310::REG_OVERLAY4 };

// What the camera does as it powers up, on the bus the process chose.
// Returns the records played; why when a transfer failed.
std::vector<ScriptRecord> PlayPowerUp(HeldErrorSink &sink, std::string &why)
{
	CIICTransfer iic(sink);
	iic.StopAfterFailure();
	std::array<std::uint8_t, 256> page{};
	for (int at = 0; at < kl310::EEPROM_PAGE_SIZE; at += CIICTransfer::kMaxBlock)
		if (!iic.ReadBlock(kl310::EepromWrite(kl310::PAGE_SCRIPT), at,
				   &page[static_cast<std::size_t>(at)], CIICTransfer::kMaxBlock)) {
			why = "the settings script could not be read";
			return {};
		}
	unsigned char trims[2] = {};
	if (!iic.ReadBlock(kl310::EepromWrite(kl310::PAGE_TRIM), kl310::OFFSET_TRIM_HORIZONTAL, trims, 2)) {
		why = "the stored image trim could not be read";
		return {};
	}
	// What the panel or velmora-reg left in the sensor is gone at power-up.
	bool played = true;
	for (const kl310::RegValue &r : kl310::SENSOR_POWER_UP)
		played = played && iic.WriteReg16(kl310::DEV_SENSOR_WRITE, r.reg, r.value);
	if (played && trims[0] != kl310::NO_TRIM) {
		played = iic.WriteReg16(kl310::DEV_SENSOR_WRITE, kl310::REG_TRIM_HORIZONTAL,
					kSensorTrimHigh << 8 | trims[0]) &&
			 iic.WriteReg16(kl310::DEV_SENSOR_WRITE, kl310::REG_TRIM_VERTICAL,
					kSensorTrimHigh << 8 | trims[1]);
	}
	std::vector<ScriptRecord> records = PowerUpRecords(page);
	for (const ScriptRecord &r : records)
		played = played && iic.WriteReg16(kl310::DEV_SENSOR_WRITE, kl310::MakeReg(r.reg), r.value);
	if (!played)
		why = "the camera could not be brought to its power-up state";
	return records;
}

std::string Failure(const HeldErrorSink &sink, const std::string &what)
{
	return what + ": " + (sink.Text().empty() ? std::string("no answer") : sink.Text());
}

std::unique_ptr<video::FrameSource> OpenPicture(const FrameCheckSetup &setup, const std::string &bus,
						std::string &why)
{
	const std::string device = VideoOf(setup, bus);
	if (device.empty()) {
		why = "no capture device is paired with " + bus + " (--video " + bus + "=DEV)";
		return nullptr;
	}
	if (device == "sim") {
		iicbus::ResolvedBus resolved;
		iicbus::ResolveBus(bus, resolved);
		int camera = resolved.resolved.size() == 5 ? resolved.resolved[4] - '0' : 0;
		return video::OpenSimulatedCamera(setup.wait, camera);
	}
	// The device's own standard: the check compares it with the camera's.
	return video::OpenCaptureDevice(device, {});
}

} // namespace

std::string CheckFrameCheckOptions(const tool::CommandLine &cl)
{
	if (!cl.Has("frame-check")) {
		for (const char *option : { "limits", "video" })
			if (cl.Has(option))
				return std::string("--") + option + " goes with --frame-check";
		return "";
	}
	if (!cl.Has("limits"))
		return "--frame-check needs --limits FILE: what the picture must show";
	FrameCheckSetup setup;
	for (const std::string &pairing : cl.Values("video"))
		if (std::string why = AddVideoPairing(pairing, setup); !why.empty())
			return why;
	return "";
}

std::string FrameCheckOf(const tool::CommandLine &cl, const std::vector<iicbus::ResolvedBus> &buses,
			 FrameCheckSetup &setup)
{
	for (const std::string &pairing : cl.Values("video"))
		if (std::string why = AddVideoPairing(pairing, setup); !why.empty())
			return why;
	for (const auto &[bus, device] : setup.video)
		if (std::none_of(buses.begin(), buses.end(),
				 [&bus](const iicbus::ResolvedBus &b) { return b.resolved == bus; }))
			return "--video " + bus + "=" + device + ": " + bus + " is no camera of this run";
	// A station whose pairing names a file or a device that does not capture
	// would fail every camera on it: refused before anything is written.
	for (const auto &[bus, device] : setup.video)
		if (device != "sim")
			if (std::string why = video::RefusedAsCaptureDevice(device); !why.empty())
				return "--video " + bus + "=" + device + ": " + why;
	for (const iicbus::ResolvedBus &bus : buses)
		if (VideoOf(setup, bus.resolved).empty())
			return "--frame-check: the camera on " +
			       (bus.given.empty() ? std::string("the adapter's bus") : bus.given) +
			       " has no capture device; pair it with --video BUS=DEV";
	setup.limitsPath = cl.Value("limits").value_or("");
	std::string why;
	std::optional<video::FrameLimits> limits = video::ReadFrameLimits(setup.limitsPath, why);
	if (!limits)
		return why;
	// Before any camera is programmed: a comparison that cannot run would
	// fail every camera.
	if (limits->reference && !video::LoadComparison(why))
		return why;
	setup.limits = *limits;
	return "";
}

std::string AddVideoPairing(const std::string &pairing, FrameCheckSetup &setup)
{
	std::size_t equals = pairing.find('=');
	if (equals == std::string::npos || equals == 0 || equals + 1 == pairing.size())
		return "--video takes BUS=DEV, a bus and its capture device";
	iicbus::ResolvedBus bus;
	if (std::string refused = iicbus::ResolveBus(pairing.substr(0, equals), bus); !refused.empty())
		return "--video " + pairing + ": " + refused;
	if (setup.video.contains(bus.resolved))
		return "--video: " + pairing.substr(0, equals) + " is paired twice";
	setup.video[bus.resolved] = pairing.substr(equals + 1);
	return "";
}

std::string VideoOf(const FrameCheckSetup &setup, const std::string &bus)
{
	if (auto it = setup.video.find(bus); it != setup.video.end())
		return it->second;
	return bus.starts_with("sim") ? "sim" : "";
}

std::vector<ScriptRecord> PowerUpRecords(const std::array<std::uint8_t, 256> &page)
{
	std::vector<ScriptRecord> records;
	for (std::size_t at = 0; at + 4 <= page.size(); at += 4) {
		ScriptRecord r{ static_cast<std::uint16_t>(page[at] << 8 | page[at + 1]),
				static_cast<std::uint16_t>(page[at + 2] << 8 | page[at + 3]) };
		if (r.reg == kErasedRegister)
			break;
		records.push_back(r);
	}
	return records;
}

std::array<bool, 4> OverlaysTurnedOn(const std::vector<ScriptRecord> &records)
{
	// The script plays over the power-up values: what it leaves alone shows
	// as the sensor powers up.
	std::vector<ScriptRecord> played;
	for (const kl310::RegValue &r : kl310::SENSOR_POWER_UP)
		played.push_back({ r.reg.number(), r.value });
	played.insert(played.end(), records.begin(), records.end());
	bool enabled = false;
	std::array<bool, 4> each{};
	for (const ScriptRecord &r : played) {
		if (r.reg == kl310::REG_OVERLAY_ENABLE.number())
			enabled = r.value & kl310::OVERLAY_ON;
		for (std::size_t i = 0; i < 4; i++)
			if (r.reg == kOverlayRegs[i].number())
				each[i] = r.value & kl310::OVERLAY_ON;
	}
	for (bool &on : each)
		on = on && enabled;
	return each;
}

CommandResult CheckCameraPicture(const CommandResult &programmed, const std::string &bus,
				 const FrameCheckSetup &setup)
{
	CommandResult outcome = programmed;
	HeldErrorSink sink;
	std::string why;
	std::vector<ScriptRecord> records = PlayPowerUp(sink, why);
	video::FrameExpectation expect;
	std::int32_t standard = 0;
	if (why.empty()) {
		CIICTransfer iic(sink);
		if (!iic.ReadReg16(kl310::DEV_SENSOR_READ, kl310::REG_VIDEO_STANDARD, standard))
			why = "register 0x4000 could not be read";
	}
	if (!why.empty()) {
		outcome.status = kBusFailure;
		outcome.message = "frame check: " + Failure(sink, why);
		outcome.result.status = sink.Status();
		outcome.result.statusName = CIICTransfer::StatusName(sink.Status());
		return outcome;
	}
	expect.pal = (standard & kl310::VIDEO_PAL_BIT) != 0;
	expect.overlays = OverlaysTurnedOn(records);
	std::unique_ptr<video::FrameSource> source = OpenPicture(setup, bus, why);
	video::FrameReport report;
	if (source) {
		report = video::CheckPicture(*source, expect, setup.limits);
	} else {
		report = video::CheckFrames({}, expect, setup.limits);
		report.values = why;
	}
	if (report.Passed()) {
		outcome.message += "; frame: " + report.values;
	} else {
		outcome.status = kFrameFailed;
		outcome.message = std::string("frame: ") + video::VerdictWord(report.verdict) + ": " +
				  (report.cause.empty() ? "" : report.cause + "; ") + report.values;
	}
	outcome.frame = std::move(report);
	return outcome;
}

CameraRunner WithFrameCheck(CameraRunner runner, const FrameCheckSetup *setup)
{
	if (!setup)
		return runner;
	return [runner = std::move(runner), setup](const CameraJob &job, Progress &progress) {
		CommandResult outcome = runner(job, progress);
		if (job.verb != Verb::Program || outcome.status != kSuccess)
			return outcome;
		return CheckCameraPicture(outcome, job.bus, *setup);
	};
}

} // namespace eeprom_cli
