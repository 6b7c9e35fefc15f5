// A camera's process when the tool tests run several cameras: the tool on
// the simulator's manual clock, each camera shaped by the hook that
// VELMORA_TEST_CAMERA_HOOK names (production_test.cpp).
#pragma once

#include <string>
#include <vector>

int RunTestCameraProcess(const std::vector<std::string> &args);
