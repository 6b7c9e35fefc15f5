#include "SnapshotCommand.h"

#include "BusIdentity.h"
#include "BusName.h"
#include "ExitStatus.h"
#include "FrameSource.h"
#include "Png.h"
#include "RegularFile.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace eeprom_cli {
namespace {

constexpr char kName[] = "velmora-eeprom";

constexpr char kHelp[] = R"(Usage: velmora-eeprom snapshot [--bus BUS] [--video DEV|sim] FILE.png
One frame of the camera's picture into the PNG file FILE.png; the frame's
size and mean red, green and blue levels (0 to 255) on standard output.
A snapshot of a golden unit at its power-up state is the reference picture
of the frame check (reference FILE in the limits file).

      --video DEV   the capture device (/dev/videoN), or sim: the simulated
                    camera's picture, from its registers on --bus (always
                    the same frame, so the same registers give the same
                    file); without it, the simulated picture on a
                    simulated camera's bus, else the one capture device on
                    the adapter's USB device
      --bus BUS     the camera's bus, as for the other commands; with
                    --video sim and no bus named, the simulated camera sim
  -h, --help        show this help and exit
)";

// Attempts at a frame: a device that fails is opened again a second later
// (one plugged in as the tool starts), one that opened waits up to 2 s.
constexpr int kAttempts = 3;

std::string AdapterNode(const iicbus::ResolvedBus &bus)
{
	return bus.resolved.rfind("/dev/", 0) == 0 ? bus.resolved : "";
}

} // namespace

int RunSnapshot(const std::vector<std::string> &args, tool::ToolEnvironment &env)
{
	std::string video, bus, file;
	bool videoGiven = false, busGiven = false;
	for (std::size_t i = 0; i < args.size(); i++) {
		const std::string &a = args[i];
		if (a == "-h" || a == "--help") {
			env.out << kHelp;
			return tool::kSuccess;
		}
		std::string *value = a == "--video" || a.rfind("--video=", 0) == 0 ? &video
				     : a == "--bus" || a.rfind("--bus=", 0) == 0   ? &bus
										   : nullptr;
		if (value) {
			bool &given = value == &video ? videoGiven : busGiven;
			if (given)
				return tool::UsageError(env, kName,
							"snapshot: " + a.substr(0, a.find('=')) +
								" is given twice");
			given = true;
			if (const auto eq = a.find('='); eq != std::string::npos)
				*value = a.substr(eq + 1);
			else if (i + 1 < args.size())
				*value = args[++i];
			if (value->empty())
				return tool::UsageError(env, kName,
							"snapshot: " + a.substr(0, a.find('=')) +
								" needs a value");
		} else if (a.size() > 1 && a[0] == '-') {
			return tool::UsageError(env, kName, "snapshot: unknown option " + a);
		} else if (file.empty()) {
			file = a;
		} else {
			return tool::UsageError(env, kName, "snapshot: too many arguments");
		}
	}
	if (file.empty())
		return tool::UsageError(env, kName, "snapshot needs a PNG file to write");

	// Before the camera is asked for anything: a target that will be
	// refused is said at once.
	if (std::string why = fileio::CheckReplaceable(file); !why.empty())
		return tool::SayFailure(env, kName, tool::kFileNotWritten, file + " was not written: " + why);

	iicbus::ResolvedBus resolved;
	std::vector<iicbus::ResolvedBus> named;
	if (busGiven) {
		if (std::string refused = iicbus::ResolveBus(bus, resolved); !refused.empty())
			return tool::UsageError(env, kName, refused);
	} else if (const char *environment = std::getenv("QXIIC_BUS"); environment && *environment) {
		if (std::string refused = iicbus::EnvironmentBus(environment, resolved); !refused.empty())
			return tool::UsageError(env, kName, refused);
	} else if (video == "sim") {
		// The simulated picture with no bus named is the simulated camera's,
		// not that of an adapter which may not even be there.
		iicbus::ResolveBus("sim", resolved);
		busGiven = true;
	}
	if (busGiven)
		named.push_back(resolved);
	if (std::string refused = iicbus::SelectProcessBus(named, std::getenv("QXIIC_BUS")); !refused.empty())
		return tool::UsageError(env, kName, refused);
	// A simulated camera has no grabber: its picture is the simulated one.
	if (!videoGiven && resolved.kind == iicbus::BusKind::Simulated)
		video = "sim";

	video::Frame frame;
	bool got = false;
	if (video == "sim") {
		// The picture faults of the camera named, as the line's frame check
		// sees them.
		const int simCamera = resolved.simCamera;
		std::string why;
		got = video::SimulatedSnapshot(frame, simCamera, why);
		if (!got)
			return tool::SayFailure(env, kName, tool::kBusFailure,
						(busGiven ? resolved.given : std::string("the bus")) + ": " +
							why + "; no picture was taken");
	} else {
		std::string why;
		std::unique_ptr<video::FrameSource> source = video::OpenSource(video, AdapterNode(resolved),
									       why);
		if (!source)
			return tool::SayFailure(env, kName, tool::kBusFailure, why);
		// A node that is no capture device is not asked again.
		for (int i = 0; i < kAttempts && !got && !source->refused(); i++) {
			got = source->next(frame);
			if (std::string notice = source->takeNotice(); !notice.empty())
				why = notice;
		}
		if (!got)
			return tool::SayFailure(env, kName, tool::kBusFailure,
						(why.empty() ? source->name() + " delivered no frame" : why) +
							"; no picture was taken");
	}

	if (std::string why = video::WritePng(frame, file); !why.empty())
		return tool::SayFailure(env, kName, tool::kFileNotWritten, file + " was not written: " + why);
	const video::Levels levels = video::Measure(frame);
	char line[160];
	std::snprintf(line, sizeof line, "%s: %d x %d, mean R %.1f G %.1f B %.1f\n", file.c_str(),
		      frame.width, frame.height, levels.red, levels.green, levels.blue);
	env.out << line;
	return tool::kSuccess;
}

} // namespace eeprom_cli
