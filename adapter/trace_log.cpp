#include "trace_log.h"

#include "qxiic.h"

#include <cerrno>
#include <cstring>

namespace qxiic {
namespace {

using sim::Call;

const char *StatusName(unsigned short status)
{
	switch (status) {
	case QXIIC_OK:
		return "OK";
	case QXIIC_ILLEGAL_BIT:
		return "ILLEGAL_BIT";
	case QXIIC_ARBITRATION:
		return "ARBITRATION";
	case QXIIC_TIMEOUT:
		return "TIMEOUT";
	case QXIIC_BAD_ACK:
		return "BAD_ACK";
	case QXIIC_BUS_BUSY:
		return "BUS_BUSY";
	case QXIIC_INIT_ERROR:
		return "INIT_ERROR";
	case QXIIC_NO_STOP:
		return "NO_STOP";
	case QXIIC_UNKNOWN_COMMAND:
		return "UNKNOWN_COMMAND";
	case QXIIC_USB_COMMAND_ERROR:
		return "USB_COMMAND_ERROR";
	case QXIIC_USB_WRITE_ERROR:
		return "USB_WRITE_ERROR";
	case QXIIC_USB_READ_ERROR:
		return "USB_READ_ERROR";
	case QXIIC_NACK:
		return "NACK";
	case QXIIC_DEVICE_NOT_PRESENT:
		return "DEVICE_NOT_PRESENT";
	case QXIIC_WRONG_OS:
		return "WRONG_OS";
	case QXIIC_DEVICE_NOT_FOUND:
		return "DEVICE_NOT_FOUND";
	case QXIIC_MAX_DEVICES:
		return "MAX_DEVICES";
	case QXIIC_DATA_OVERFLOW:
		return "DATA_OVERFLOW";
	default:
		return "GENERAL_ERROR";
	}
}

void Append(std::string &out, const char *format, auto... args)
{
	char buf[64];
	std::snprintf(buf, sizeof buf, format, args...);
	out += buf;
}

} // namespace

std::string TraceLine(const sim::TraceEntry &e, const std::string &bus, const std::string &detail)
{
	std::string out;
	Append(out, "%lld.%06lld ", static_cast<long long>(e.timeUs / 1000000),
	       static_cast<long long>(e.timeUs % 1000000));
	out += bus;
	Append(out, " %s dev=0x%02X", CallName(e.call), e.device);
	if (e.call != Call::Receive)
		Append(out, " sub=0x%0*X/%d", e.subLength * 2, e.subAddress, e.subLength);
	Append(out, " len=%d [", e.count);
	for (std::size_t i = 0; i < e.data.size(); i++)
		Append(out, i == 0 ? "%02X" : " %02X", e.data[i]);
	Append(out, "] -> %u %s", static_cast<unsigned>(e.status), StatusName(e.status));
	if (e.status != QXIIC_OK && !detail.empty())
		out += ": " + detail;
	return out;
}

TraceLog::~TraceLog()
{
	close();
}

void TraceLog::close()
{
	if (file_ != nullptr && file_ != stderr)
		std::fclose(file_);
	file_ = nullptr;
	target_.clear();
}

// Appending keeps the lines of earlier runs: a trace is evidence.
std::string TraceLog::follow(const char *target)
{
	if (target == nullptr || target[0] == '\0') {
		close();
		return {};
	}
	if (target_ == target && file_ != nullptr)
		return {};
	close();
	if (std::strcmp(target, "-") == 0)
		file_ = stderr;
	else
		file_ = std::fopen(target, "ae"); // not inherited by a program the front end starts
	if (file_ == nullptr)
		return std::string("cannot write the trace to ") + target + ": " + std::strerror(errno);
	target_ = target;
	return {};
}

// Flushed line by line so that the trace is complete even if the
// program then dies.
std::string TraceLog::write(const std::string &line)
{
	if (file_ == nullptr)
		return {};
	bool written = std::fprintf(file_, "%s\n", line.c_str()) >= 0;
	if (std::fflush(file_) == 0 && written)
		return {};
	std::string why = std::strerror(errno);
	std::clearerr(file_);
	return "cannot write the trace to " + (target_ == "-" ? std::string("standard error") : target_) +
	       ": " + why;
}

} // namespace qxiic
