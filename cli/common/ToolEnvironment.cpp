#include "ToolEnvironment.h"

#include <ostream>

namespace tool {

int Fail(ToolEnvironment &env, const char *tool, int status, const std::string &message)
{
	env.err << tool << ": " << message << '\n' << std::flush;
	return status;
}

int UsageError(ToolEnvironment &env, const char *tool, const std::string &message)
{
	return Fail(env, tool, kUsage, message + " (see " + tool + " --help)");
}

int ShowVersion(ToolEnvironment &env, const char *tool)
{
	env.out << tool << " (Velmora) " << VELMORA_VERSION << '\n';
	return kSuccess;
}

} // namespace tool
