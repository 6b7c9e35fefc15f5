#include "ErrorSink.h"

#include <cstdio>

namespace {

class StderrSink : public IICErrorSink
{
public:
	void Report(int, const char *text) override { std::fprintf(stderr, "%s\n", text); }
};

StderrSink g_stderrSink;
IICErrorSink *g_default = &g_stderrSink;

} // namespace

IICErrorSink &IICErrorSink::Default()
{
	return *g_default;
}

void IICErrorSink::SetDefault(IICErrorSink *sink)
{
	g_default = sink ? sink : &g_stderrSink;
}
