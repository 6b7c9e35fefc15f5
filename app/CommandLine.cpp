#include "CommandLine.h"

#include "msgbox.h"

#include <QCommandLineParser>
#include <QStringList>

namespace {

// Written out rather than QCommandLineParser::helpText(), which needs the
// application object that only the panel's run creates.
constexpr char kHelp[] = R"(Usage: velmora [OPTION]...
The control panel of the KL310 board camera.

Options:
      --bus BUS   the bus, instead of QXIIC_BUS: /dev/i2c-N (or a udev link to
                  it), sim or sim:0 to sim:7 (a simulated camera), or none
                  (no camera); without either, the one USB-to-I2C adapter
                  present
      --video DEV show the camera's picture beside the panel from the capture
                  device DEV (/dev/videoN), or sim for the simulated camera's
                  picture; without it, the window menu's "Picture..." shows
                  a simulated camera's own picture, else the capture device
                  on the adapter's USB device
  -h, --help      show this help and exit
      --version   show the version and exit
)";

} // namespace

PanelCommandLine ParsePanelCommandLine(const std::vector<std::string> &args, const char *environmentBus)
{
	QStringList arguments{ QStringLiteral("velmora") };
	for (const std::string &arg : args)
		arguments << QString::fromLocal8Bit(arg.c_str());

	QCommandLineParser parser;
	QCommandLineOption bus(QStringLiteral("bus"), QString(), QStringLiteral("BUS"));
	QCommandLineOption help(QStringList{ QStringLiteral("h"), QStringLiteral("help") });
	QCommandLineOption version(QStringLiteral("version"));
	QCommandLineOption video(QStringLiteral("video"), QString(), QStringLiteral("DEV"));
	parser.addOptions({ bus, video, help, version });

	PanelCommandLine cl;
	iicbus::ResolvedBus environment;
	if (!parser.parse(arguments)) {
		cl.refusal = parser.errorText().toStdString();
	} else if (!parser.positionalArguments().isEmpty()) {
		cl.refusal = "unexpected argument '" + parser.positionalArguments().first().toStdString() +
			     "'";
	} else if (parser.isSet(help)) {
		cl.out = kHelp;
	} else if (parser.isSet(version)) {
		cl.out = std::string("velmora (Velmora) ") + VELMORA_VERSION + "\n";
	} else if (parser.values(bus).size() > 1) {
		// Keeping the last would show a camera other than the one meant.
		cl.refusal = "--bus is given " + std::to_string(parser.values(bus).size()) +
			     " times; the panel shows one camera";
	} else if (parser.isSet(bus) && parser.value(bus).isEmpty()) {
		cl.refusal = "--bus needs a bus";
	} else if (parser.values(video).size() > 1) {
		cl.refusal = "--video is given " + std::to_string(parser.values(video).size()) +
			     " times; the panel shows one picture";
	} else if (parser.isSet(video) && parser.value(video).isEmpty()) {
		cl.refusal = "--video needs a capture device or sim";
	} else if (parser.isSet(bus)) {
		cl.bus = parser.value(bus).toStdString();
		cl.refusal = iicbus::ResolveBuses({ cl.bus }, cl.buses);
	} else {
		cl.refusal = iicbus::EnvironmentBus(environmentBus, environment);
	}
	if (cl.refusal.empty()) {
		cl.video = parser.value(video).toStdString();
		const iicbus::ResolvedBus &chosen = cl.buses.empty() ? environment : cl.buses.front();
		cl.simCamera = chosen.simCamera;
		if (chosen.kind == iicbus::BusKind::Node)
			cl.adapterNode = chosen.resolved;
	}
	if (cl.refusal.empty() && cl.out.empty())
		return cl;
	cl.run = false;
	if (!cl.refusal.empty()) {
		cl.err = "velmora: " + cl.refusal + " (see velmora --help)\n";
		cl.status = 2;
	}
	return cl;
}

PictureSource PictureSourceOf(const PanelCommandLine &cl)
{
	PictureSource source;
	source.device = !cl.video.empty() ? cl.video : cl.simCamera >= 0 ? "sim" : "";
	source.simCamera = cl.simCamera;
	source.adapterNode = cl.adapterNode;
	source.openAtStart = !cl.video.empty();
	return source;
}

std::string NoGraphicalSession(const char *platform, const char *display, const char *wayland)
{
	auto set = [](const char *value) { return value && value[0] != '\0'; };
	if (set(platform) || set(display) || set(wayland))
		return "";
	return "velmora: the control panel needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY "
	       "is set); velmora-eeprom and velmora-reg work without one\n";
}

int ShowCommandLineRefusal(const PanelCommandLine &cl)
{
	AfxMessageBox(cl.refusal.c_str());
	return cl.status;
}
