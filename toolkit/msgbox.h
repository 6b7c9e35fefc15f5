// Message boxes. Every message of the program is shown this way: a modal
// box with an OK button, captioned with the application's title; a
// question has Yes, No and Cancel and returns IDYES, IDNO or IDCANCEL.
#pragma once

#include "afxtypes.h"

constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_YESNOCANCEL = 0x0003;

int AfxMessageBox(const char *text, UINT type = MB_OK, UINT helpId = 0);
