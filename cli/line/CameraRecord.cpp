#include "CameraRecord.h"

#include "ToolEnvironment.h"
#include "registers.h"

#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include <unistd.h>

namespace eeprom_cli {

namespace {

template <typename T>
std::optional<T> Known(const T &value)
{
	return value == T{} ? std::nullopt : std::optional<T>(value);
}

} // namespace

RecordedFile DescribeFile(const std::string &path)
{
	RecordedFile file;
	if (path.empty())
		return file;
	std::error_code error;
	std::filesystem::path absolute = std::filesystem::absolute(path, error);
	file.path = error ? path : absolute.lexically_normal().string();
	file.sha256 = FileSha256(path);
	if (file.sha256) {
		auto size = std::filesystem::file_size(path, error);
		if (!error)
			file.size = static_cast<std::int64_t>(size);
	}
	return file;
}

plant::Record MakeRecord(const RecordBase &base, const CameraFacts &facts)
{
	const Outcome &o = facts.outcome;
	plant::Record r;
	r.id = plant::NewRecordId();
	r.time = facts.started;
	r.version = tool::ToolVersion();
	r.station = base.station;
	r.operatorName = base.operatorName;
	r.unit = facts.unit;
	r.host = base.host;
	r.command = VerbName(base.verb);
	r.camera = facts.camera;
	r.bus = Known(facts.busGiven);
	r.busFound = Known(facts.busFound);
	r.adapter = Known(o.adapter);
	r.file = facts.file.path;
	r.sha256 = facts.file.sha256;
	r.fileSize = facts.file.size;
	r.pages = base.pages;
	r.result = ResultWord(o.status, base.verb);
	r.exitStatus = o.status;
	if (o.difference) {
		const Difference &d = *o.difference;
		r.firstDifference = plant::Difference{ d.page, d.byte, d.found, d.expected };
		r.failurePage = d.page;
		r.failureBlock = d.byte / kl310::EEPROM_WRITE_PAGE_SIZE;
		r.failureByte = d.byte;
		r.failureDirection = "read";
	}
	r.message = Known(o.message);
	r.durationMs = static_cast<double>(facts.durationUs / 100) / 10.0;
	return r;
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
