// CVelmoraApp: runs the camera control panel modally, then ends.
#pragma once

#include "PictureWindow.h"
#include "winapp.h"

class CVelmoraApp : public CWinApp
{
public:
	CVelmoraApp();
	BOOL InitInstance() override;

	// What the panel's picture window shows; set before the run.
	void SetPictureSource(PictureSource source) { m_picture = std::move(source); }

private:
	PictureSource m_picture;
};
