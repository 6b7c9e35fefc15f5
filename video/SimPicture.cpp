#include "SimPicture.h"

#include "IICTransfer.h"
#include "registers.h"

#include <algorithm>
#include <mutex>

namespace video {
namespace {

// The picture model's unity points: at these values a level leaves the
// sensor as the scene has it.
constexpr int kUnityReference = 0x50;
constexpr int kUnityShutter = 0xA6;
constexpr int kUnityGain = 0x30;
constexpr int kGainBits = 0x7F;
constexpr int kUnityWbGain = 0x50;
constexpr int kNeutralSharpness = 3;
constexpr int kTrimCentre = kl310::TRIM_MAX / 2;

constexpr int kMarkerSize = 16;
constexpr int kMarkerStep = 4; // pixels per frame

struct Rgb {
	std::uint8_t r, g, b;
};

// 75 % colour bars, white to black.
constexpr Rgb kBars[8] = {
	{ 191, 191, 191 }, { 191, 191, 0 }, { 0, 191, 191 }, { 0, 191, 0 },
	{ 191, 0, 191 },   { 191, 0, 0 },   { 0, 0, 191 },   { 0, 0, 0 },
};
constexpr Rgb kWedgeLight = { 235, 235, 235 };
constexpr Rgb kWedgeDark = { 16, 16, 16 };
constexpr Rgb kFaceGround = { 128, 128, 128 };
constexpr Rgb kSkin = { 224, 172, 140 };
constexpr Rgb kEye = { 40, 30, 30 };
constexpr Rgb kMouth = { 150, 60, 60 };
constexpr Rgb kMarker = { 255, 255, 255 };

constexpr Rgb kCross = { 255, 255, 255 };
constexpr Rgb kSafeFrame = { 255, 255, 0 };
constexpr Rgb kGuide = { 0, 255, 0 };
constexpr Rgb kGrid = { 128, 128, 128 };

// The scene's regions, in rows of a picture of height h.
int RampTop(int h)
{
	return h / 2;
}
int LowerTop(int h)
{
	return h * 5 / 8;
}

Rgb ScenePixel(int x, int y, int w, int h)
{
	if (y < RampTop(h))
		return kBars[x * 8 / w];
	if (y < LowerTop(h)) {
		const auto v = static_cast<std::uint8_t>(x * 255 / (w - 1));
		return { v, v, v };
	}
	if (x < w / 2) {
		// Six groups of lines 1 to 6 pixels wide, as many pixels apart.
		const int group = x / (w / 12);
		const int local = x - group * (w / 12);
		return (local / (group + 1)) % 2 == 0 ? kWedgeDark : kWedgeLight;
	}
	const int cx = w * 3 / 4;
	const int cy = (LowerTop(h) + h) / 2;
	const int ry = (h - LowerTop(h)) * 3 / 8;
	const int rx = ry * 3 / 4;
	const int ex = x - cx;
	const int ey = y - cy;
	if (ex * ex * ry * ry + ey * ey * rx * rx > rx * rx * ry * ry)
		return kFaceGround;
	const int eyeR = ry / 8;
	for (int side : { -1, 1 }) {
		const int dx = ex - side * rx * 2 / 5;
		const int dy = ey + ry / 4;
		if (dx * dx + dy * dy <= eyeR * eyeR)
			return kEye;
	}
	if (ey >= ry / 2 && ey < ry / 2 + ry / 10 && ex >= -rx / 2 && ex < rx / 2)
		return kMouth;
	return kSkin;
}

// The scene without the moving marker, made once per picture size.
struct Scene {
	int width = 0;
	int height = 0;
	std::vector<Rgb> pixels;
};

const Scene &SceneOf(int w, int h)
{
	static Scene scenes[2];
	static std::once_flag made[2];
	const int i = h == kPalLines ? 0 : 1;
	std::call_once(made[i], [&] {
		Scene &s = scenes[i];
		s.width = w;
		s.height = h;
		s.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
		for (int y = 0; y < h; y++)
			for (int x = 0; x < w; x++)
				s.pixels[static_cast<std::size_t>(y * w + x)] = ScenePixel(x, y, w, h);
	});
	return scenes[i];
}

std::uint8_t Clip(int v)
{
	return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

void Put(Frame &f, int x, int y, Rgb c)
{
	if (x < 0 || y < 0 || x >= f.width || y >= f.height)
		return;
	std::uint8_t *p = &f.rgb[static_cast<std::size_t>((y * f.width + x) * 3)];
	p[0] = c.r;
	p[1] = c.g;
	p[2] = c.b;
}

void Fill(Frame &f, int x0, int y0, int x1, int y1, Rgb c)
{
	for (int y = y0; y < y1; y++)
		for (int x = x0; x < x1; x++)
			Put(f, x, y, c);
}

void DrawOverlay(Frame &f, int which)
{
	const int w = f.width;
	const int h = f.height;
	switch (which) {
	case 0: // centre cross
		Fill(f, w / 2 - 20, h / 2 - 1, w / 2 + 20, h / 2 + 1, kCross);
		Fill(f, w / 2 - 1, h / 2 - 20, w / 2 + 1, h / 2 + 20, kCross);
		break;
	case 1: { // safe-area frame, 5 % inside the edges
		const int l = w / 20, t = h / 20, r = w - w / 20, b = h - h / 20;
		Fill(f, l, t, r, t + 2, kSafeFrame);
		Fill(f, l, b - 2, r, b, kSafeFrame);
		Fill(f, l, t, l + 2, b, kSafeFrame);
		Fill(f, r - 2, t, r, b, kSafeFrame);
		break;
	}
	case 2: // guide line across the lower quarter
		Fill(f, w / 4, h * 3 / 4, w * 3 / 4, h * 3 / 4 + 2, kGuide);
		break;
	default: // thirds grid
		for (int k : { 1, 2 }) {
			Fill(f, w * k / 3, 0, w * k / 3 + 1, h, kGrid);
			Fill(f, 0, h * k / 3, w, h * k / 3 + 1, kGrid);
		}
		break;
	}
}

// Each channel's mean over 2 radius + 1 pixels of a line, the line's end
// pixels standing in beyond it: stride apart, count of them.
void BlurLine(std::uint8_t *p, int count, int stride, int radius, std::vector<int> &line)
{
	line.resize(static_cast<std::size_t>(count));
	for (int c = 0; c < 3; c++) {
		for (int i = 0; i < count; i++)
			line[static_cast<std::size_t>(i)] = p[i * stride + c];
		auto at = [&](int i) { return line[static_cast<std::size_t>(std::clamp(i, 0, count - 1))]; };
		int sum = 0;
		for (int i = -radius; i <= radius; i++)
			sum += at(i);
		const int width = 2 * radius + 1;
		for (int i = 0; i < count; i++) {
			p[i * stride + c] = static_cast<std::uint8_t>((sum + width / 2) / width);
			sum += at(i + radius + 1) - at(i - radius);
		}
	}
}

void Blur(Frame &f, int radius)
{
	std::vector<int> line;
	for (int y = 0; y < f.height; y++)
		BlurLine(&f.rgb[static_cast<std::size_t>(y * f.width * 3)], f.width, 3, radius, line);
	for (int x = 0; x < f.width; x++)
		BlurLine(&f.rgb[static_cast<std::size_t>(x * 3)], f.height, f.width * 3, radius, line);
}

// A level's multiplier in 1/65536 steps.
std::uint64_t ExposureScale(const SensorState &s)
{
	if (s.exposureMode & kl310::EXPOSURE_MODE_BITS)
		return (std::uint64_t{ s.exposureReference } << 16) / kUnityReference;
	return (std::uint64_t{ s.shutter } * (s.gain & kGainBits) << 16) / (kUnityShutter * kUnityGain);
}

} // namespace

bool ReadSensorState(SensorState &s)
{
	using namespace kl310;
	SensorState read;
	// In register order, so that neighbours go in one burst.
	const struct {
		Reg reg;
		std::uint16_t *into;
	} fields[] = {
		{ REG_SHUTTER, &read.shutter },
		{ REG_MIRROR_FLIP1, &read.mirrorFlip },
		{ REG_GAIN_3056, &read.gain },
		{ REG_SHARPNESS, &read.sharpness },
		{ REG_VIDEO_STANDARD, &read.videoStandard },
		{ REG_OVERLAY_ENABLE, &read.overlayEnable },
		{ REG_OVERLAY1, &read.overlay[0] },
		{ REG_OVERLAY2, &read.overlay[1] },
		{ REG_OVERLAY3, &read.overlay[2] },
		{ REG_OVERLAY4, &read.overlay[3] },
		{ REG_EXPOSURE_MODE, &read.exposureMode },
		{ REG_EXPOSURE_REF, &read.exposureReference },
		{ REG_WB_MODE, &read.wbMode },
		{ REG_RED_GREEN, &read.redGreen },
		{ REG_BLUE_GREEN, &read.blueGreen },
		{ REG_TRIM_HORIZONTAL, &read.trimHorizontal },
		{ REG_TRIM_VERTICAL, &read.trimVertical },
	};
	constexpr std::size_t kCount = std::size(fields);
	Reg regs[kCount];
	std::uint16_t values[kCount];
	for (std::size_t i = 0; i < kCount; i++)
		regs[i] = fields[i].reg;
	HeldErrorSink quiet;
	CIICTransfer iic(quiet);
	if (!iic.ReadRegs16(DEV_SENSOR_READ, regs, values))
		return false;
	for (std::size_t i = 0; i < kCount; i++)
		*fields[i].into = values[i];
	s = read;
	return true;
}

int PictureWidth(const SensorState &)
{
	return kPictureWidth;
}

int PictureHeight(const SensorState &s)
{
	return s.videoStandard & kl310::VIDEO_PAL_BIT ? kPalLines : kNtscLines;
}

void RenderSimPicture(const SensorState &s, std::int64_t frameNumber, Frame &f, const Optics &optics)
{
	const int w = PictureWidth(s);
	const int h = PictureHeight(s);
	const Scene &scene = SceneOf(w, h);
	f.width = w;
	f.height = h;
	f.number = frameNumber;
	f.rgb.resize(static_cast<std::size_t>(w * h * 3));

	const int dx = kTrimCentre - std::min<int>(s.trimHorizontal, kl310::TRIM_MAX) + optics.shiftX;
	const int dy = kTrimCentre - std::min<int>(s.trimVertical, kl310::TRIM_MAX) + optics.shiftY;
	const bool mirror = s.mirrorFlip & kl310::MIRROR_BIT;
	const bool flip = s.mirrorFlip & kl310::FLIP_BIT;

	const std::uint64_t exposure = ExposureScale(s);
	std::uint64_t scale[3] = { exposure, exposure, exposure };
	if (s.wbMode != kl310::WB_MODE_AUTO) {
		scale[0] = (exposure * s.redGreen) / kUnityWbGain;
		scale[2] = (exposure * s.blueGreen) / kUnityWbGain;
	}
	std::uint8_t lut[3][256];
	for (int c = 0; c < 3; c++)
		for (std::uint64_t v = 0; v < 256; v++)
			lut[c][v] = static_cast<std::uint8_t>(
				std::min<std::uint64_t>(255, (v * scale[c] + 0x8000) >> 16));

	const int markerX = static_cast<int>(frameNumber * kMarkerStep % (w - kMarkerSize));
	const int markerY = RampTop(h) + (LowerTop(h) - RampTop(h) - kMarkerSize) / 2;

	std::uint8_t *out = f.rgb.data();
	for (int y = 0; y < h; y++) {
		const int u = std::clamp(y - dy, 0, h - 1);
		const int sy = flip ? h - 1 - u : u;
		const Rgb *row = &scene.pixels[static_cast<std::size_t>(sy * w)];
		const bool markerRow = sy >= markerY && sy < markerY + kMarkerSize;
		for (int x = 0; x < w; x++, out += 3) {
			const int t = std::clamp(x - dx, 0, w - 1);
			const int sx = mirror ? w - 1 - t : t;
			const Rgb p = markerRow && sx >= markerX && sx < markerX + kMarkerSize ? kMarker
											       : row[sx];
			out[0] = lut[0][p.r];
			out[1] = lut[1][p.g];
			out[2] = lut[2][p.b];
		}
	}

	if (optics.blur > 0)
		Blur(f, optics.blur);

	const int sharpness = (s.sharpness & kl310::SHARPNESS_FIELD) >> kl310::SHARPNESS_SHIFT;
	if (sharpness != kNeutralSharpness) {
		std::vector<std::uint8_t> line(static_cast<std::size_t>(w * 3));
		for (int y = 0; y < h; y++) {
			std::uint8_t *r = &f.rgb[static_cast<std::size_t>(y * w * 3)];
			std::copy(r, r + w * 3, line.begin());
			for (int x = 0; x < w; x++)
				for (int c = 0; c < 3; c++) {
					const int v = line[static_cast<std::size_t>(x * 3 + c)];
					const int left =
						line[static_cast<std::size_t>(std::max(x - 1, 0) * 3 + c)];
					const int right = line[static_cast<std::size_t>(
						std::min(x + 1, w - 1) * 3 + c)];
					r[x * 3 + c] = Clip(v + (sharpness - kNeutralSharpness) *
									(2 * v - left - right) / 8);
				}
		}
	}

	if (s.overlayEnable & kl310::OVERLAY_ON)
		for (int i = 0; i < 4; i++)
			if (s.overlay[i] & kl310::OVERLAY_ON)
				DrawOverlay(f, i);
}

} // namespace video
