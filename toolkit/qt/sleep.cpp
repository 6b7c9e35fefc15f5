#include "../sleep.h"

#include <chrono>
#include <thread>

namespace {
std::function<void(DWORD)> g_sleep;
}

void Sleep(DWORD milliseconds)
{
	if (g_sleep)
		g_sleep(milliseconds);
	else
		std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void AfxSetSleepHandler(std::function<void(DWORD)> handler)
{
	g_sleep = std::move(handler);
}
