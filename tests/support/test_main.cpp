// Widget tests run on Qt's offscreen platform with the application object
// in place, as the panel expects.
#include "VelmoraApp.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char **argv)
{
	qputenv("QT_QPA_PLATFORM", "offscreen");
	// What the windows remember (QSettings) stays with this run, never
	// in the user's own configuration.
	char config[] = "/tmp/velmora-tests-config-XXXXXX";
	if (!mkdtemp(config))
		return 1;
	setenv("XDG_CONFIG_HOME", config, 1);
	struct Cleanup {
		const char *dir;
		~Cleanup() { std::filesystem::remove_all(dir); }
	} cleanup{ config };
	QApplication application(argc, argv);
	CVelmoraApp app;
	::testing::InitGoogleTest(&argc, argv);
	return RUN_ALL_TESTS();
}
