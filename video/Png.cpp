#include "Png.h"

#include "RegularFile.h"
#include "Thumbnail.h"

namespace video {

std::string WritePng(const Frame &frame, const std::string &file)
{
	// Made whole in memory first: nothing is created for a frame that
	// cannot be encoded.
	const std::string png = EncodePng(frame);
	if (png.empty())
		return "the frame could not be made into a PNG";
	return fileio::ReplaceRegularFile(file, png);
}

} // namespace video
