// Message boxes. Every message of the program is shown this way: a modal
// box with an OK button, captioned with the application's title.
#pragma once

#include "afxtypes.h"

constexpr UINT MB_OK = 0x0000;

int AfxMessageBox(const char *text, UINT type = MB_OK, UINT helpId = 0);
