#include "Png.h"

#include "RegularFile.h"

#include <png.h>

namespace video {

std::string WritePng(const Frame &frame, const std::string &file)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	image.width = static_cast<png_uint_32>(frame.width);
	image.height = static_cast<png_uint_32>(frame.height);
	image.format = PNG_FORMAT_RGB;
	// Made whole in memory first, so that the file is written in one go
	// beside the old one and renamed over it: never half a picture.
	png_alloc_size_t size = 0;
	if (!png_image_write_to_memory(&image, nullptr, &size, 0, frame.rgb.data(), 0, nullptr))
		return file + ": " + image.message;
	std::string bytes(size, '\0');
	if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, frame.rgb.data(), 0, nullptr))
		return file + ": " + image.message;
	bytes.resize(size);
	const std::string why = fileio::ReplaceRegularFile(
		file, bytes, [](int, const struct stat &) { return std::string(); });
	return why.empty() ? "" : file + ": " + why;
}

} // namespace video
