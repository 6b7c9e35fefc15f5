// The settings file a typed name stands for, and the folder Browse opens.
#include "FileName.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsFileName, PathAndFolderOfATypedName)
{
	const struct {
		const char *typed;
		const char *path;
		const char *folder;
	} cases[] = {
		{ "abc", "abc.qmx", "." },
		{ "abc.qmx", "abc.qmx", "." },
		{ "abc.QMX", "abc.QMX", "." },
		{ "abc.Qmx.txt", "abc.Qmx.txt.qmx", "." },
		{ "abcqmx", "abcqmx.qmx", "." },
		{ "cams/front", "cams/front.qmx", "cams" },
		{ "/tmp/cam.qmx", "/tmp/cam.qmx", "/tmp" },
		{ "/cam", "/cam.qmx", "/" },
		// No file part: no file at all, never a hidden ".qmx".
		{ "", "", "" },
		{ ".qmx", "", "" },
		{ ".QMX", "", "" },
		{ "cams/", "", "" },
		{ "cams/.qmx", "", "" },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.typed);
		EXPECT_EQ(settings::SettingsFilePath(c.typed), c.path);
		EXPECT_EQ(settings::SettingsFileFolder(c.typed), c.folder);
	}
}

} // namespace
