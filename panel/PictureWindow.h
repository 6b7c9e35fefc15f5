// The camera's picture in a window beside the panel. Handlers see only
// this; the window itself is Qt (PictureWindow.cpp).
#pragma once

#include <string>

class CDialog;

// The window menu's item that opens it, and its text.
constexpr unsigned IDM_PICTURE = 0x0020;
constexpr char kPictureMenuText[] = "&Picture...";

// What the picture shows: "sim" (the simulated camera's picture), a
// capture device's path, or "" (the capture device found beside the
// adapter). openAtStart: the panel opens the window as it starts.
void SetPictureSource(const std::string &source, bool openAtStart, int simCamera = -1);
bool PictureOpensAtStart();

// Opens the picture window beside the panel, or brings it to the front.
void ShowPictureWindow(CDialog &panel);
