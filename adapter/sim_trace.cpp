// Readable trace lines for test failure messages, e.g.
//   #1 SendSub dev=0xBA sub=0x301C/2 count=2 [01 00] -> 0 @5000us
#include "qxiic_sim.h"

#include "export.h"
#include "trace_log.h"

#include <cstdio>

namespace qxiic {

const char *CallName(sim::Call call)
{
	switch (call) {
	case sim::Call::Init:
		return "Init";
	case sim::Call::SetAddress:
		return "SetAddress";
	case sim::Call::SendSub:
		return "SendSub";
	case sim::Call::ReceiveSub:
		return "ReceiveSub";
	case sim::Call::Receive:
		return "Receive";
	case sim::Call::Close:
		return "Close";
	}
	return "?";
}

namespace sim {
namespace {

void Append(std::string &out, const char *format, auto... args)
{
	char buf[64];
	std::snprintf(buf, sizeof buf, format, args...);
	out += buf;
}

} // namespace

QXIIC_EXPORT std::string Describe(const TraceEntry &e)
{
	std::string out;
	Append(out, "#%d %s dev=0x%02X", e.handle, CallName(e.call), e.device);
	if (e.call == Call::Init)
		Append(out, " param1=%d param2=%d", e.param1, e.param2);
	if (e.call == Call::SendSub || e.call == Call::ReceiveSub)
		Append(out, " sub=0x%0*X/%d", e.subLength * 2, e.subAddress, e.subLength);
	if (e.call == Call::SendSub || e.call == Call::ReceiveSub || e.call == Call::Receive) {
		Append(out, " count=%d", e.count);
		if (e.flags != 0)
			Append(out, " flags=%d", e.flags);
		out += " [";
		for (std::size_t i = 0; i < e.data.size(); i++)
			Append(out, i == 0 ? "%02X" : " %02X", e.data[i]);
		out += "]";
	}
	Append(out, " -> %u @%lldus", static_cast<unsigned>(e.status), static_cast<long long>(e.timeUs));
	return out;
}

} // namespace sim
} // namespace qxiic
