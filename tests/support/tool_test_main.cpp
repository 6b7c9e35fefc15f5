// The tool tests, or one camera's process of a run on several simulated
// cameras that a test started (Fleet.h starts the program itself).
#include "camera_process.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

int main(int argc, char **argv)
{
	if (argc > 1 && std::string(argv[1]) == "--camera-process")
		return RunTestCameraProcess({ argv + 1, argv + argc });
	testing::InitGoogleMock(&argc, argv);
	return RUN_ALL_TESTS();
}
