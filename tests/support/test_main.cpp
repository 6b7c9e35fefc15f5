// Widget tests run on Qt's offscreen platform with the application object
// in place, as the panel expects.
#include "VelmoraApp.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
	qputenv("QT_QPA_PLATFORM", "offscreen");
	QApplication application(argc, argv);
	CVelmoraApp app;
	::testing::InitGoogleTest(&argc, argv);
	return RUN_ALL_TESTS();
}
