// CVelmoraApp: runs the camera control panel modally, then ends.
#pragma once

#include "winapp.h"

class CVelmoraApp : public CWinApp
{
public:
	CVelmoraApp();
	BOOL InitInstance() override;
};
