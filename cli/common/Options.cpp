#include "Options.h"

#include "InputFile.h"

#include <algorithm>
#include <sstream>

namespace tool {

namespace {

const Option *Find(const Grammar &grammar, const std::string &arg, std::string &name)
{
	for (const Option &o : grammar.options) {
		if (arg == std::string("--") + o.name || (o.letter && arg == std::string{ '-', o.letter })) {
			name = o.name;
			return &o;
		}
	}
	return nullptr;
}

std::vector<std::string> Commands(const char *list)
{
	std::vector<std::string> commands;
	std::istringstream words(list);
	for (std::string w; words >> w;)
		commands.push_back(w);
	return commands;
}

// "show", "show and diff", "dump, show and diff"
std::string Listed(const std::vector<std::string> &commands)
{
	std::string text;
	for (size_t i = 0; i < commands.size(); i++)
		text += (i == 0 ? "" : i + 1 == commands.size() ? " and " : ", ") + commands[i];
	return text;
}

// Takes args[i] as an option; returns the refusal, or "".
std::string TakeOption(const Grammar &grammar, const std::vector<std::string> &args, size_t &i,
		       CommandLine &cl)
{
	const std::string &arg = args[i];
	size_t eq = arg.starts_with("--") ? arg.find('=') : std::string::npos;
	std::string name;
	const Option *o = Find(grammar, arg.substr(0, eq), name);
	if (!o)
		return "unknown option '" + fileio::ShownText(arg) + "'";
	std::string value;
	if (!o->value && eq != std::string::npos)
		return "--" + name + " takes no value";
	if (o->value) {
		if (eq != std::string::npos)
			value = arg.substr(eq + 1);
		else if (i + 1 < args.size())
			value = args[++i];
		if (value.empty())
			return "--" + name + " needs " + o->value;
	}
	if (cl.Has(name) && !o->repeats)
		return "--" + name + " is given twice";
	cl.given[name].push_back(value);
	if (o->word)
		cl.words.push_back(arg);
	return "";
}

std::string CheckCommand(const Grammar &grammar, const CommandLine &cl)
{
	if (cl.words.empty())
		return "no command given";
	const std::string &command = cl.words[0];
	if (std::find(grammar.commands.begin(), grammar.commands.end(), command) == grammar.commands.end())
		return "unknown command '" + fileio::ShownText(command) + "'";
	for (const Option &o : grammar.options) {
		if (!o.commands || !cl.Has(o.name))
			continue;
		std::vector<std::string> owners = Commands(o.commands);
		if (std::find(owners.begin(), owners.end(), command) == owners.end())
			return std::string("--") + o.name + " belongs to " + Listed(owners);
	}
	return "";
}

} // namespace

std::vector<Option> WithCommonOptions(std::initializer_list<Option> own, bool busRepeats)
{
	static const std::string bus = std::string("a bus (") + iicbus::kBusChoices + ")";
	std::vector<Option> options = {
		{ .name = "help", .letter = 'h' },
		{ .name = "version" },
		{ .name = "bus", .value = bus.c_str(), .repeats = busRepeats },
	};
	options.insert(options.end(), own);
	return options;
}

std::optional<std::string> CommandLine::Value(const std::string &name) const
{
	auto it = given.find(name);
	if (it == given.end())
		return std::nullopt;
	return it->second.back();
}

std::vector<std::string> CommandLine::Values(const std::string &name) const
{
	auto it = given.find(name);
	return it == given.end() ? std::vector<std::string>{} : it->second;
}

CommandLine ParseCommandLine(const Grammar &grammar, const std::vector<std::string> &args)
{
	CommandLine cl;
	bool optionsEnded = false;
	for (size_t i = 0; i < args.size() && cl.error.empty(); i++) {
		const std::string &arg = args[i];
		if (optionsEnded || arg.size() < 2 || arg[0] != '-')
			cl.words.push_back(arg);
		else if (arg == "--")
			optionsEnded = true;
		else
			cl.error = TakeOption(grammar, args, i, cl);
	}
	if (cl.error.empty() && !cl.Informational())
		cl.error = CheckCommand(grammar, cl);
	if (cl.error.empty() && !cl.Informational())
		cl.error = iicbus::ResolveBuses(cl.Values("bus"), cl.buses);
	return cl;
}

} // namespace tool
