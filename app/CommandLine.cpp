#include "CommandLine.h"

#include <QCommandLineParser>
#include <QStringList>

namespace {

// Written out rather than QCommandLineParser::helpText(), which needs the
// application object that only the panel's run creates.
constexpr char kHelp[] = R"(Usage: velmora [OPTION]...
The control panel of the KL310 board camera.

Options:
      --bus BUS   the bus, instead of QXIIC_BUS: /dev/i2c-N (or a udev link to
                  it), sim or sim:0 to sim:7 (a simulated camera); without
                  either, the one USB-to-I2C adapter present
      --video DEV show the camera's picture beside the panel from the capture
                  device DEV (/dev/videoN), or sim for the simulated camera's
                  picture
  -h, --help      show this help and exit
      --version   show the version and exit
)";

} // namespace

PanelCommandLine ParsePanelCommandLine(const std::vector<std::string> &args)
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
	if (!parser.parse(arguments)) {
		cl.err = "velmora: " + parser.errorText().toStdString() + " (see velmora --help)\n";
	} else if (!parser.positionalArguments().isEmpty()) {
		cl.err = "velmora: unexpected argument '" +
			 parser.positionalArguments().first().toStdString() + "' (see velmora --help)\n";
	} else if (parser.isSet(help)) {
		cl.out = kHelp;
	} else if (parser.isSet(version)) {
		cl.out = std::string("velmora (Velmora) ") + VELMORA_VERSION + "\n";
	} else if (parser.values(bus).size() > 1) {
		// Keeping the last would show a camera other than the one meant.
		cl.err = "velmora: --bus is given " + std::to_string(parser.values(bus).size()) +
			 " times; the panel shows one camera (see velmora --help)\n";
	} else if (parser.isSet(bus) && parser.value(bus).isEmpty()) {
		cl.err = "velmora: --bus needs a bus (see velmora --help)\n";
	} else if (parser.values(video).size() > 1) {
		cl.err = "velmora: --video is given " + std::to_string(parser.values(video).size()) +
			 " times; the panel shows one picture (see velmora --help)\n";
	} else if (parser.isSet(video) && parser.value(video).isEmpty()) {
		cl.err = "velmora: --video needs a capture device or sim (see velmora --help)\n";
	} else {
		cl.bus = parser.value(bus).toStdString();
		cl.video = parser.value(video).toStdString();
		return cl;
	}
	cl.run = false;
	cl.status = cl.err.empty() ? 0 : 2;
	return cl;
}
