// Start-up probe of the control panel: the program's own start-up (the
// application object, the panel's template, the read-back of the camera),
// ended at the panel's first paint.
#include "VelmoraApp.h"
#include "first_paint.h"

#include "winapp.h"

namespace {

class ProbeApp : public CVelmoraApp
{
public:
	BOOL InitInstance() override
	{
		bench::EndAtFirstPaint();
		return CVelmoraApp::InitInstance();
	}
};

ProbeApp theApp;

} // namespace

int main(int argc, char **argv)
{
	return AfxWinMain(argc, argv);
}
