#include "Target.h"

#include <libpq-fe.h>

#include <map>
#include <memory>

namespace plant {

namespace {

using Options = std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)>;

Options Parse(const std::string &target, std::string *why)
{
	char *error = nullptr;
	Options options(PQconninfoParse(target.c_str(), &error), PQconninfoFree);
	if (!options && why)
		*why = error ? error : "libpq could not parse it (out of memory)";
	PQfreemem(error);
	// libpq's messages end in a newline; ours are one line.
	while (why && !why->empty() && (why->back() == '\n' || why->back() == ' '))
		why->pop_back();
	return options;
}

bool StartsWith(const std::string &text, const char *prefix)
{
	return text.rfind(prefix, 0) == 0;
}

} // namespace

bool IsDatabaseTarget(const std::string &target)
{
	if (StartsWith(target, "postgresql://") || StartsWith(target, "postgres://"))
		return true;
	return target.find('=') != std::string::npos && Parse(target, nullptr) != nullptr;
}

std::string CheckDatabaseTarget(const std::string &target)
{
	std::string why;
	Options options = Parse(target, &why);
	if (!options)
		return "not a database URL libpq accepts: " + why;
	for (PQconninfoOption *o = options.get(); o->keyword; o++) {
		if (std::string(o->keyword) == "password" && o->val && *o->val)
			return "a password in the database URL would stay in the shell's history and show in "
			       "every process list; put it in ~/.pgpass or the file PGPASSFILE names";
	}
	return "";
}

std::string DescribeDatabaseTarget(const std::string &target)
{
	Options options = Parse(target, nullptr);
	if (!options)
		return "the database";
	std::map<std::string, std::string> given;
	for (PQconninfoOption *o = options.get(); o->keyword; o++)
		if (o->val && *o->val)
			given[o->keyword] = o->val;
	std::string text = "database " + (given.count("dbname") ? given["dbname"] : std::string("(default)"));
	if (given.count("host")) {
		text += " on " + given["host"];
		if (given.count("port"))
			text += ":" + given["port"];
	}
	if (given.count("user"))
		text += " as " + given["user"];
	return text;
}

} // namespace plant
