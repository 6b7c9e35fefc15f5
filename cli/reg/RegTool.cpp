#include "RegTool.h"

#include "BusIdentity.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "Options.h"
#include "RegBus.h"
#include "RegScript.h"
#include "RegisterNames.h"
#include "StopRequest.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <sstream>

#include <unistd.h>

namespace reg_cli {

// The scaffolding every tool shares: environment, exit statuses, options.
using namespace tool;

namespace {

constexpr char kName[] = "velmora-reg";
// Far longer than a dump of every register, which is under 1 KiB.
constexpr std::size_t kLongestScript = 1 << 20;
// How long a script from a pipe or a FIFO may take to arrive whole.
constexpr int kScriptWaitMs = 10000;

constexpr char kHelp[] = R"(Usage: velmora-reg [OPTION]... COMMAND [ARGUMENT]...
The KL310 camera sensor's 16-bit registers, by name or by address.

Commands:
  get REG...          read registers and show their values
  set REG=VALUE...    write registers, in the order given
  dump [--script]     every readable named register with its value; with
                      --script, as a script that run writes back
  run SCRIPT          run a register script (- for standard input)

Script lines:
  write REG VALUE
  read REG [expect VALUE [mask M]]
  wait MS
  poll REG MASK VALUE TIMEOUT_MS
  command WORD        write the command register, then poll it until its
                      busy bit (0x8000) clears, at most 16 reads
  # comment           also after a step

REG is a name below or a 16-bit address; values are hexadecimal with 0x or
decimal. The whole script and every set argument are checked before
anything is sent; run stops at the first failed transfer or unmet
expectation and names the line.

Options:
      --bus BUS     the bus, instead of QXIIC_BUS: /dev/i2c-N, sim or sim:0 to
                    sim:7 (a simulated camera), or none (no camera); without
                    either, the one USB-to-I2C adapter present
      --script      dump: write a script
  -n, --dry-run     run: check the script and send nothing
  -h, --help        show this help and exit
      --version     show the version and exit

Exit status:
  0  done, and every expectation met
  2  wrong command line, or a register name that does not exist
  3  the script cannot be read or has a wrong line (named); nothing was sent
  4  a bus transfer failed
  5  a read, poll or command did not give the value expected
  6  standard output could not be written (closed, a full disk)
  130  run stopped by Ctrl+C or SIGTERM (the line reached is named)

Register names:
)";

const tool::Grammar &RegGrammar()
{
	static const tool::Grammar grammar{
		tool::WithCommonOptions({ { .name = "script", .commands = "dump" },
					  { .name = "dry-run", .letter = 'n', .commands = "run" } }),
		{ "get", "set", "dump", "run" },
	};
	return grammar;
}

// The operands each command takes; the parser knows only the options.
std::string CheckOperands(const std::vector<std::string> &words)
{
	const std::string &command = words[0];
	size_t operands = words.size() - 1;
	if (command == "get" && operands == 0)
		return "get needs a register";
	if (command == "set" && operands == 0)
		return "set needs REG=VALUE";
	if (command == "dump" && operands > 0)
		return "too many arguments for dump";
	if (command == "run" && operands != 1)
		return "run needs one script";
	return "";
}

std::string Hex4(unsigned value)
{
	char text[8];
	std::snprintf(text, sizeof(text), "0x%04x", value & 0xFFFF);
	return text;
}

std::string Steps(std::size_t count)
{
	return std::to_string(count) + (count == 1 ? " step" : " steps");
}

class Tool
{
public:
	explicit Tool(ToolEnvironment &env) : m_env(env) {}

	int fail(int status, const std::string &message)
	{
		m_env.err << kName << ": " << message << '\n' << std::flush;
		return status;
	}

	int get(const std::vector<std::string> &regs)
	{
		std::vector<RegisterRef> refs;
		for (const std::string &text : regs) {
			Resolved r = ResolveRegister(text);
			if (!r.reg)
				return fail(kUsage, r.error);
			// The map lists these as written only: what a read returns is
			// not what was written, and would mislead.
			for (const NamedRegister &n : RegisterNames()) {
				if (n.reg.number() == r.reg->number && !n.readable)
					return fail(kUsage,
						    Describe(*r.reg) +
							    " is written only: it cannot be read back");
			}
			refs.push_back(*r.reg);
		}
		for (const RegisterRef &ref : refs) {
			std::uint16_t value = 0;
			if (!m_bus.Read(ref.number, value))
				return fail(kBusFailure, m_bus.Failure());
			m_env.out << Describe(ref) << " = " << Hex4(value) << '\n';
		}
		return kSuccess;
	}

	int set(const std::vector<std::string> &assignments)
	{
		std::vector<std::pair<RegisterRef, std::uint16_t>> writes;
		for (const std::string &text : assignments) {
			std::size_t eq = text.find('=');
			if (eq == std::string::npos)
				return fail(kUsage, "expected REG=VALUE, not '" + text + "'");
			Resolved r = ResolveRegister(text.substr(0, eq));
			if (!r.reg)
				return fail(kUsage, r.error);
			std::string valueText = text.substr(eq + 1);
			std::optional<std::uint32_t> value = ParseNumber(valueText, 0xFFFF);
			if (!value)
				return fail(kUsage, NumberError(valueText, 0xFFFF));
			writes.emplace_back(*r.reg, static_cast<std::uint16_t>(*value));
		}
		for (const auto &[ref, value] : writes) {
			if (!m_bus.Write(ref.number, value))
				return fail(kBusFailure, m_bus.Failure());
			m_env.out << Describe(ref) << " = " << Hex4(value) << " written\n";
		}
		return kSuccess;
	}

	int dump(bool script)
	{
		std::ostringstream text;
		if (script)
			text << "# The camera's settings registers, as velmora-reg dump --script read them.\n";
		for (const NamedRegister &n : RegisterNames()) {
			if (!n.readable || (script && !n.setting))
				continue;
			std::uint16_t value = 0;
			if (!m_bus.Read(n.reg.number(), value))
				return fail(kBusFailure, m_bus.Failure());
			if (script) {
				text << "write " << n.name << ' ' << Hex4(value) << '\n';
			} else {
				char line[64];
				std::snprintf(line, sizeof(line), "%-17s 0x%04x = 0x%04x\n", n.name,
					      n.reg.number(), value);
				text << line;
			}
		}
		// Only a dump read whole is shown: half a script would restore
		// half a camera.
		m_env.out << text.str() << std::flush;
		return kSuccess;
	}

	int run(const std::string &path, bool dryRun)
	{
		// Read whole before a line is checked, the same careful way as a
		// settings file; a pipe or a FIFO must end within kScriptWaitMs.
		const fileio::InputLimits limits{ kLongestScript, "script", true, kScriptWaitMs };
		fileio::InputText input = path == "-" ? fileio::ReadInputDescriptor(STDIN_FILENO, limits)
						      : fileio::ReadInputFile(path, limits);
		const std::string label = path == "-" ? "standard input" : fileio::ShownText(path, 200);
		if (!input.ok)
			return fail(kRefusedFile, "cannot read the script " + label + ": " + input.why +
							  "; nothing was sent");
		const std::string &text = input.text;
		ParsedScript parsed = ParseRegScript(text);
		if (parsed.errors.size() == 1 && !parsed.moreErrors)
			return fail(kRefusedFile, label + ": " + parsed.errors[0] + "; nothing was sent");
		if (!parsed.ok) {
			// Every wrong line at once: one run to find them, one to check.
			for (const std::string &error : parsed.errors)
				m_env.err << kName << ": " << label << ": " << error << '\n';
			return fail(kRefusedFile, label + ": " + std::to_string(parsed.errors.size()) +
							  (parsed.moreErrors ? " wrong lines shown, and more"
									     : " wrong lines") +
							  "; nothing was sent");
		}
		if (dryRun) {
			m_env.out << label << ": " << Steps(parsed.steps.size())
				  << " checked; nothing was sent\n";
			return kSuccess;
		}
		StopSignals signals;
		ScriptResult result = RunRegScript(parsed.steps, m_bus, m_env.clock, m_env.out);
		if (result.status != kSuccess)
			return fail(result.status, label + ": " + result.message);
		m_env.out << label << ": " << Steps(static_cast<std::size_t>(result.steps)) << " done\n"
			  << std::flush;
		return kSuccess;
	}

private:
	ToolEnvironment &m_env;
	RegBus m_bus;
};

} // namespace

int RunRegTool(const std::vector<std::string> &args, ToolEnvironment &env)
{
	tool::CommandLine cl = tool::ParseCommandLine(RegGrammar(), args);
	if (cl.error.empty() && !cl.Informational())
		cl.error = CheckOperands(cl.words);
	if (!cl.error.empty())
		return tool::UsageError(env, kName, cl.error);
	if (cl.Has("help")) {
		env.out << kHelp;
		for (const NamedRegister &n : RegisterNames())
			env.out << "  " << n.name << std::string(18 - std::string(n.name).size(), ' ')
				<< Hex4(n.reg.number()) << (n.readable ? "" : "  (written only)") << '\n';
		return kSuccess;
	}
	if (cl.Has("version"))
		return tool::ShowVersion(env, kName);
	if (std::string why = iicbus::SelectProcessBus(cl.buses, std::getenv("QXIIC_BUS")); !why.empty())
		return tool::UsageError(env, kName, why);

	const std::string &command = cl.words[0];
	std::vector<std::string> rest(cl.words.begin() + 1, cl.words.end());
	Tool regTool(env);
	if (command == "get")
		return regTool.get(rest);
	if (command == "set")
		return regTool.set(rest);
	if (command == "dump")
		return regTool.dump(cl.Has("script"));
	return regTool.run(rest[0], cl.Has("dry-run"));
}

} // namespace reg_cli
