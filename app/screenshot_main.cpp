// Renders the control panel, as it opens on the simulated camera, into a
// PNG file: velmora-screenshot OUTPUT.png
#include "VelmoraApp.h"
#include "VelmoraDlg.h"
#include "qt_access.h"

#include <QApplication>
#include <QDialog>
#include <QPixmap>

#include <cstdio>

int main(int argc, char **argv)
{
	if (argc != 2) {
		std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
		return 2;
	}
	QApplication application(argc, argv);
	CVelmoraApp app;
	CVelmoraDlg dlg;
	dlg.Create();
	QDialog *window = toolkit::DialogWidget(dlg);
	window->show();
	QApplication::processEvents();
	if (!window->grab().save(QString::fromLocal8Bit(argv[1]))) {
		std::fprintf(stderr, "cannot write %s\n", argv[1]);
		return 1;
	}
	return 0;
}
