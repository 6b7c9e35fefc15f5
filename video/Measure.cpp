#include "Frame.h"

namespace video {

Levels Measure(const Frame &frame)
{
	Levels levels;
	const std::size_t pixels = static_cast<std::size_t>(frame.width) *
				   static_cast<std::size_t>(frame.height);
	if (pixels == 0 || frame.rgb.size() < pixels * 3)
		return levels;
	std::uint64_t sum[3] = {};
	const std::uint8_t *p = frame.rgb.data();
	for (std::size_t i = 0; i < pixels; i++, p += 3) {
		sum[0] += p[0];
		sum[1] += p[1];
		sum[2] += p[2];
		// BT.601 luma in 1/256 steps, rounded.
		const unsigned y = (77u * p[0] + 150u * p[1] + 29u * p[2] + 128u) >> 8;
		levels.histogram[y]++;
	}
	const double n = static_cast<double>(pixels);
	levels.red = static_cast<double>(sum[0]) / n;
	levels.green = static_cast<double>(sum[1]) / n;
	levels.blue = static_cast<double>(sum[2]) / n;
	levels.luma = 0.299 * levels.red + 0.587 * levels.green + 0.114 * levels.blue;
	return levels;
}

} // namespace video
