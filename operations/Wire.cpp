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

// Every field of a frame report; the comparison with the reference always
// travels, with whether there was one.
template <typename Io, typename F>
void EveryFrameField(Io &io, F &r, bool &compared, video::ReferenceValues &v)
{
	io(r.verdict), io(r.cause), io(r.values), io(r.frames), io(r.width), io(r.height);
	io(r.standardExpected), io(r.standardSeen), io(r.luminance), io(r.redGreen), io(r.blueGreen);
	io(r.movingPixels), io(r.overlaysExpected), io(r.overlaysSeen), io(r.thumbnailPng), io(compared);
	video::Likeness &l = v.likeness;
	io(l.structure), io(l.mirrored), io(l.upsideDown), io(l.turned), io(l.offsetX), io(l.offsetY);
	io(l.sharpness), io(v.orientation), io(v.offset);
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

void WireWriter::Put(double number)
{
	m_bytes.append(reinterpret_cast<const char *>(&number), sizeof(number));
}

void WireWriter::Put(const std::vector<int> &numbers)
{
	Put(static_cast<std::int64_t>(numbers.size()));
	for (int n : numbers)
		Put(static_cast<std::int64_t>(n));
}

void WireReader::Get(double &number)
{
	if (m_bytes.size() < sizeof(number)) {
		m_ok = false;
		return;
	}
	std::memcpy(&number, m_bytes.data(), sizeof(number));
	m_bytes.remove_prefix(sizeof(number));
}

void WireReader::Get(std::vector<int> &numbers)
{
	std::int64_t count = 0;
	Get(count);
	// Each number takes 8 bytes: a count beyond what is left is no list.
	if (!m_ok || count < 0 || static_cast<std::uint64_t>(count) > m_bytes.size() / 8) {
		m_ok = false;
		return;
	}
	numbers.clear();
	for (std::int64_t i = 0; i < count; i++) {
		std::int64_t n = 0;
		Get(n);
		numbers.push_back(static_cast<int>(n));
	}
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

void PutFrameReport(WireWriter &out, const std::optional<video::FrameReport> &report)
{
	out.Put(report.has_value());
	if (!report)
		return;
	bool compared = report->reference.has_value();
	video::ReferenceValues v = report->reference.value_or(video::ReferenceValues{});
	auto put = Putter(out);
	EveryFrameField(put, *report, compared, v);
}

bool GetFrameReport(WireReader &in, std::optional<video::FrameReport> &report)
{
	bool present = false;
	auto get = Getter(in);
	get(present);
	if (!in.Good())
		return false;
	if (!present) {
		report.reset();
		return true;
	}
	video::FrameReport r;
	bool compared = false;
	video::ReferenceValues v;
	EveryFrameField(get, r, compared, v);
	if (!in.Good())
		return false;
	if (compared)
		r.reference = v;
	report = std::move(r);
	return true;
}

} // namespace operations
