#include "Png.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace video {

std::string WritePng(const Frame &frame, const std::string &file)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	image.width = static_cast<png_uint_32>(frame.width);
	image.height = static_cast<png_uint_32>(frame.height);
	image.format = PNG_FORMAT_RGB;
	FILE *out = std::fopen(file.c_str(), "wb");
	if (!out)
		return file + ": " + std::strerror(errno);
	const bool written = png_image_write_to_stdio(&image, out, 0, frame.rgb.data(), 0, nullptr) != 0;
	std::string why = written ? "" : file + ": " + image.message;
	if (std::fclose(out) != 0 && why.empty())
		why = file + ": " + std::strerror(errno);
	if (!why.empty())
		std::remove(file.c_str());
	return why;
}

} // namespace video
