#include "CaptureDevice.h"
#include "FindCaptureDevice.h"
#include "FrameSource.h"
#include "SimPicture.h"
#include "registers.h"

namespace video {

std::unique_ptr<FrameSource> OpenSource(const std::string &given, const std::string &i2cNode,
					std::string &why, int simCamera)
{
	if (given == "sim")
		return OpenSimulatedCamera({}, simCamera);
	std::string path = given;
	if (path.empty())
		path = FindCaptureDevice(i2cNode, why);
	if (path.empty())
		return nullptr;
	// The grabber is set to the standard the camera sends, when it answers;
	// asked on the source's thread, so that opening transfers nothing.
	CaptureOptions options;
	options.standard = []() -> std::optional<bool> {
		SensorState state;
		if (!ReadSensorState(state))
			return std::nullopt;
		return (state.videoStandard & kl310::VIDEO_PAL_BIT) != 0;
	};
	return OpenCaptureDevice(path, std::move(options));
}

} // namespace video
