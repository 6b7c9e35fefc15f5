#include "Wire.h"

#include <cstring>

namespace operations {

namespace {

// Every field of a result, in the order they travel.
template <typename Io, typename R>
void EveryField(Io &io, R &r)
{
	io(r.outcome), io(r.direction), io(r.status), io(r.statusName), io(r.device), io(r.page), io(r.block);
	io(r.byte), io(r.found), io(r.expected), io(r.timedOut), io(r.reason), io(r.sha256), io(r.size);
}

// Every field of an image; its bytes as one string.
template <typename Io, typename I>
void EveryImageField(Io &io, I &image, std::string &bytes)
{
	io(image.path), io(bytes), io(image.pages), io(image.sha256), io(image.size);
}

auto Putter(WireWriter &out)
{
	return [&out](const auto &value) { out.Put(value); };
}

auto Getter(WireReader &in)
{
	return [&in](auto &value) {
		using Field = std::remove_reference_t<decltype(value)>;
		if constexpr (std::is_enum_v<Field> || std::is_same_v<Field, bool>) {
			std::int64_t number = 0;
			in.Get(number);
			value = static_cast<Field>(number);
		} else {
			in.Get(value);
		}
	};
}

} // namespace

void WireWriter::Put(std::int64_t number)
{
	m_bytes.append(reinterpret_cast<const char *>(&number), sizeof(number));
}

void WireWriter::Put(const std::string &text)
{
	Put(static_cast<std::int64_t>(text.size()));
	m_bytes += text;
}

void WireReader::Get(std::int64_t &number)
{
	if (m_bytes.size() < sizeof(number)) {
		m_ok = false;
		return;
	}
	std::memcpy(&number, m_bytes.data(), sizeof(number));
	m_bytes.remove_prefix(sizeof(number));
}

void WireReader::Get(std::string &text)
{
	std::int64_t size = 0;
	Get(size);
	if (!m_ok || size < 0 || static_cast<std::uint64_t>(size) > m_bytes.size()) {
		m_ok = false;
		return;
	}
	text.assign(m_bytes.substr(0, static_cast<std::size_t>(size)));
	m_bytes.remove_prefix(static_cast<std::size_t>(size));
}

void PutResult(WireWriter &out, const Result &result)
{
	auto put = Putter(out);
	EveryField(put, result);
}

bool GetResult(WireReader &in, Result &result)
{
	Result decoded;
	auto get = Getter(in);
	EveryField(get, decoded);
	if (!in.Good())
		return false;
	result = std::move(decoded);
	return true;
}

void PutImage(WireWriter &out, const SettingsImage &image)
{
	std::string bytes(image.bytes.begin(), image.bytes.end());
	auto put = Putter(out);
	EveryImageField(put, image, bytes);
}

bool GetImage(WireReader &in, SettingsImage &image)
{
	SettingsImage decoded;
	std::string bytes;
	auto get = Getter(in);
	EveryImageField(get, decoded, bytes);
	if (!in.Good())
		return false;
	decoded.bytes.assign(bytes.begin(), bytes.end());
	image = std::move(decoded);
	return true;
}

} // namespace operations
