// Pauses of the dialog's thread.
//
// Sleep blocks the calling thread, as the camera's timing needs. Tests put
// a clock of their own in its place so that they never wait for real.
#pragma once

#include "afxtypes.h"

#include <functional>

void Sleep(DWORD milliseconds);

// Replaces the pause; an empty function restores the real one.
void AfxSetSleepHandler(std::function<void(DWORD)> handler);
