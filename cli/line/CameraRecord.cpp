#include "CameraRecord.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace eeprom_cli {

std::string RecordLine(const CameraRecord &record)
{
	nlohmann::ordered_json j;
	j["time"] = IsoUtc(record.time);
	j["host"] = record.host;
	j["bus"] = record.bus;
	j["adapter"] = record.adapter;
	j["command"] = record.command;
	if (record.camera)
		j["camera"] = *record.camera;
	j["file"] = record.file.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(record.file);
	j["sha256"] = record.sha256.empty() ? nlohmann::ordered_json()
					    : nlohmann::ordered_json(record.sha256);
	j["pages"] = record.pages;
	j["result"] = ResultWord(record.outcome.status);
	j["exit_status"] = record.outcome.status;
	if (const std::optional<Difference> &d = record.outcome.difference) {
		j["first_difference"] = { { "page", d->page },
					  { "byte", d->byte },
					  { "found", d->found },
					  { "expected", d->expected } };
	} else {
		j["first_difference"] = nullptr;
	}
	j["message"] = record.outcome.message;
	j["duration_ms"] = static_cast<double>(record.durationUs / 100) / 10.0;
	// A message may hold any byte the adapter gave; never let it break the line.
	return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

std::string AppendRecordLine(const std::string &path, const std::string &line)
{
	int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
	if (fd < 0)
		return std::strerror(errno);
	ssize_t written;
	do
		written = write(fd, line.data(), line.size());
	while (written < 0 && errno == EINTR);
	std::string why;
	if (written < 0)
		why = std::strerror(errno);
	else if (static_cast<size_t>(written) != line.size())
		why = "only part of the record was written";
	if (close(fd) != 0 && why.empty())
		why = std::strerror(errno);
	return why;
}

std::string IsoUtc(std::time_t time)
{
	std::tm utc{};
	gmtime_r(&time, &utc);
	char text[32];
	std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
	return text;
}

std::optional<std::string> FileSha256(const std::string &path)
{
	// A FIFO or device named as the file would block or never end.
	std::error_code error;
	if (!std::filesystem::is_regular_file(path, error))
		return std::nullopt;
	std::ifstream in(path, std::ios::binary);
	if (!in)
		return std::nullopt;
	std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
	if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
		return std::nullopt;
	char buffer[8192];
	while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
		if (EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(in.gcount())) != 1)
			return std::nullopt;
	}
	if (in.bad())
		return std::nullopt;
	unsigned char digest[EVP_MAX_MD_SIZE];
	unsigned int length = 0;
	if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
		return std::nullopt;
	static const char kHex[] = "0123456789abcdef";
	std::string hex;
	for (unsigned int i = 0; i < length; i++) {
		hex += kHex[digest[i] >> 4];
		hex += kHex[digest[i] & 0xF];
	}
	return hex;
}

std::string HostName()
{
	char name[256] = {};
	if (gethostname(name, sizeof(name) - 1) != 0)
		return "";
	return name;
}

} // namespace eeprom_cli
