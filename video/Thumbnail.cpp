#include "Thumbnail.h"

#include <png.h>

#include <algorithm>

namespace video {

Frame ShrinkFrame(const Frame &frame, int width)
{
	Frame small;
	if (frame.width <= 0 || frame.height <= 0 || width <= 0)
		return small;
	small.width = std::min(width, frame.width);
	small.height = std::max(1, (frame.height * small.width + frame.width / 2) / frame.width);
	small.number = frame.number;
	small.rgb.resize(static_cast<std::size_t>(small.width) * static_cast<std::size_t>(small.height) * 3);
	std::uint8_t *out = small.rgb.data();
	for (int y = 0; y < small.height; y++) {
		const int y0 = y * frame.height / small.height;
		const int y1 = std::max(y0 + 1, (y + 1) * frame.height / small.height);
		for (int x = 0; x < small.width; x++) {
			const int x0 = x * frame.width / small.width;
			const int x1 = std::max(x0 + 1, (x + 1) * frame.width / small.width);
			unsigned sum[3] = {};
			for (int v = y0; v < y1; v++) {
				const std::uint8_t *p =
					&frame.rgb[static_cast<std::size_t>((v * frame.width + x0) * 3)];
				for (int u = x0; u < x1; u++, p += 3)
					for (int c = 0; c < 3; c++)
						sum[c] += p[c];
			}
			const unsigned n = static_cast<unsigned>((y1 - y0) * (x1 - x0));
			for (int c = 0; c < 3; c++)
				*out++ = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
		}
	}
	return small;
}

std::string EncodePng(const Frame &frame)
{
	if (frame.width <= 0 || frame.height <= 0 ||
	    frame.rgb.size() <
		    static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * 3)
		return "";
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	image.width = static_cast<png_uint_32>(frame.width);
	image.height = static_cast<png_uint_32>(frame.height);
	image.format = PNG_FORMAT_RGB;
	png_alloc_size_t size = 0;
	if (!png_image_write_to_memory(&image, nullptr, &size, 0, frame.rgb.data(), 0, nullptr))
		return "";
	std::string png(size, '\0');
	if (!png_image_write_to_memory(&image, png.data(), &size, 0, frame.rgb.data(), 0, nullptr))
		return "";
	png.resize(size);
	return png;
}

namespace {

bool Decode(const std::string &png, Frame &frame, png_uint_32 widest, png_uint_32 highest)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
		return false;
	if (image.width > widest || image.height > highest) {
		png_image_free(&image);
		return false;
	}
	image.format = PNG_FORMAT_RGB;
	std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
		png_image_free(&image);
		return false;
	}
	frame.width = static_cast<int>(image.width);
	frame.height = static_cast<int>(image.height);
	frame.rgb = std::move(rgb);
	return true;
}

} // namespace

bool DecodePng(const std::string &png, Frame &frame)
{
	return Decode(png, frame, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
}

bool IsThumbnailPng(const std::string &png)
{
	Frame frame;
	return png.size() <= kThumbnailMostBytes &&
	       Decode(png, frame, static_cast<png_uint_32>(kThumbnailWidth),
		      static_cast<png_uint_32>(kThumbnailMostHeight));
}

} // namespace video
