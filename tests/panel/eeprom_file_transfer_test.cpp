// "Browse", the file name edit, "Cam --> File" and "File --> Cam" against
// the simulated camera: what reaches the file, what reaches the EEPROM and
// what the operator is told.
#include "panel_fixture.h"

#include "SettingsFileFormat.h"
#include "filedlg_access.h"
#include "qt_access.h"
#include "resource.h"
#include "sleep.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace sim = qxiic::sim;
namespace fs = std::filesystem;
using sim::Call;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const char kNack[] = "error: USB_I2C_NACK";

std::uint8_t Pattern(int i)
{
	return static_cast<std::uint8_t>((i * 37 + i / 256 + 1) & 0xFF);
}

std::string ReadFile(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string &path, const std::string &text)
{
	std::ofstream(path, std::ios::binary) << text;
}

// A hand-written file of n pattern values: lower case, bare LF, 8 a line.
std::string HandWritten(int values)
{
	std::string text = "// edited by hand\n";
	char value[4];
	for (int i = 0; i < values; i++) {
		std::snprintf(value, sizeof(value), "%02x", Pattern(i));
		text += value;
		text += (i % 8 == 7) ? "\n" : "  ";
	}
	return text;
}

class EepromFileTransferTest : public PanelTest
{
protected:
	void SetUp() override
	{
		PanelTest::SetUp();
		std::string pattern = (fs::temp_directory_path() / "velmora-panel-XXXXXX").string();
		m_dir = mkdtemp(pattern.data());
		Open();
		m_progress = qobject_cast<QProgressBar *>(Control(IDC_PROGRESS));
		QObject::connect(m_progress, &QProgressBar::valueChanged, [this](int value) {
			highest = std::max(highest, value);
			if (sim::Now() - pressedUs < 2540001)
				shownBy2540ms = value;
			drops += value < last;
			last = value;
			// Every step shows the busy cursor.
			const QCursor *cursor = QApplication::overrideCursor();
			if (value > 1)
				busy = busy && cursor && cursor->shape() == Qt::WaitCursor;
		});
	}
	void TearDown() override
	{
		toolkit::SetFileDialogObserver({});
		PanelTest::TearDown();
		fs::remove_all(m_dir);
	}

	std::string File(const char *name) const { return (m_dir / name).string(); }

	// Types the name (without extension) into the file name edit.
	std::string UseFile(const char *stem)
	{
		Edit(IDC_FILE_NAME)->setText(QString::fromStdString(File(stem)));
		return File(stem) + ".qmx";
	}

	void FillEeprom(std::uint8_t value)
	{
		for (int i = 0; i < 2048; i++)
			sim::SetEepromByte(i, value);
	}

	// Clicks a button and notes the progress bar as it moves.
	void Press(int id)
	{
		highest = 0;
		drops = 0;
		last = m_progress->value();
		busy = true;
		ClearLog();
		pressedUs = sim::Now();
		Button(id)->click();
	}

	QProgressBar *m_progress = nullptr;
	int highest = 0;
	int drops = 0; // the bar moved back: once, to empty, at the end
	int last = 0;
	bool busy = true;
	std::int64_t pressedUs = 0;
	int shownBy2540ms = 0; // the last of 128 writes' pauses begins at 2.54 s

private:
	fs::path m_dir;
};

} // namespace

TEST_F(EepromFileTransferTest, FileNameEditNamesTheFileAndAnEmptiedOneNone)
{
	QLineEdit *edit = Edit(IDC_FILE_NAME);
	edit->setFocus();
	QTest::keyClicks(edit, "abc");
	EXPECT_EQ(dlg->m_strFilePath, "abc.qmx");
	edit->selectAll();
	QTest::keyClick(edit, Qt::Key_Delete);
	EXPECT_EQ(dlg->m_strFilePath, "");
	Press(IDC_CAM_TO_FILE);
	EXPECT_THAT(messages, ElementsAre("Please enter file name!"));
	EXPECT_THAT(Log(), IsEmpty());
}

TEST_F(EepromFileTransferTest, BrowseTakesAnExistingOrANewFile)
{
	WriteFile(File("a.qmx"), "");
	bool shown = false;
	// A name that does not exist yet is taken as it is typed.
	toolkit::SetFileDialogObserver([&](QFileDialog &dialog) {
		shown = true;
		EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
		EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
		EXPECT_EQ(dialog.nameFilters(), QStringList{ "Qmx files (*.qmx)" });
		QTimer::singleShot(0, &dialog, [&dialog, this] {
			dialog.setDirectory(QString::fromStdString(File("")));
			dialog.selectFile("new.qmx");
			static_cast<QDialog &>(dialog).accept();
		});
	});
	Button(IDC_BROWSE)->click();
	ASSERT_TRUE(shown);
	EXPECT_EQ(Text(IDC_FILE_NAME), File("new.qmx"));
	toolkit::SetFileDialogObserver([&](QFileDialog &dialog) {
		QTimer::singleShot(0, &dialog, [&dialog, this] {
			dialog.setDirectory(QString::fromStdString(File("")));
			dialog.selectFile("a.qmx");
			static_cast<QDialog &>(dialog).accept();
		});
	});
	Button(IDC_BROWSE)->click();
	EXPECT_EQ(Text(IDC_FILE_NAME), File("a.qmx"));
	EXPECT_EQ(dlg->m_strFilePath, File("a.qmx").c_str());

	// Cancel changes nothing.
	toolkit::SetFileDialogObserver([](QFileDialog &dialog) {
		QTimer::singleShot(0, &dialog, [&dialog] { static_cast<QDialog &>(dialog).reject(); });
	});
	Button(IDC_BROWSE)->click();
	EXPECT_EQ(Text(IDC_FILE_NAME), File("a.qmx"));
	EXPECT_EQ(dlg->m_strFilePath, File("a.qmx").c_str());

	// It opens in the folder of the file the edit names.
	fs::create_directory(File("sub"));
	QString opened;
	toolkit::SetFileDialogObserver([&opened](QFileDialog &dialog) {
		opened = dialog.directory().absolutePath();
		QTimer::singleShot(0, &dialog, [&dialog] { static_cast<QDialog &>(dialog).reject(); });
	});
	Type(IDC_FILE_NAME, File("sub/c").c_str());
	Button(IDC_BROWSE)->click();
	EXPECT_EQ(opened, QDir(QString::fromStdString(File("sub"))).absolutePath());
}

TEST_F(EepromFileTransferTest, WithoutAFileNameNothingStarts)
{
	for (int id : { IDC_CAM_TO_FILE, IDC_FILE_TO_CAM }) {
		Press(id);
		EXPECT_THAT(messages, ElementsAre("Please enter file name!"));
		EXPECT_THAT(Log(), IsEmpty());
	}
}

TEST_F(EepromFileTransferTest, CamToFileCopiesTheWholeEeprom)
{
	for (int i = 0; i < 2048; i++)
		sim::SetEepromByte(i, Pattern(i));
	std::string path = UseFile("camera");
	Press(IDC_CAM_TO_FILE);

	EXPECT_THAT(messages, IsEmpty());
	std::vector<std::string> log = Log();
	ASSERT_EQ(log.size(), 2048u);
	EXPECT_EQ(log[0], "RB a0:00");
	EXPECT_EQ(log[256 * 5 + 0x7F], "RB aa:7f");
	EXPECT_EQ(log[2047], "RB ae:ff");

	std::string text = ReadFile(path);
	EXPECT_EQ(text.size(), 6628 + path.size());
	settings::LoadedSettings loaded = settings::LoadSettingsFile(path);
	ASSERT_TRUE(loaded.ok);
	ASSERT_EQ(loaded.values.size(), 2048u);
	for (int i = 0; i < 2048; i++)
		ASSERT_EQ(loaded.values[static_cast<size_t>(i)], Pattern(i)) << "byte " << i;

	// Once from empty to full (200 steps over 2048 reads), then empty again; busy throughout.
	EXPECT_EQ(m_progress->minimum(), 0);
	EXPECT_EQ(m_progress->maximum(), 200);
	EXPECT_EQ(highest, 200);
	EXPECT_EQ(drops, 1);
	EXPECT_EQ(m_progress->value(), 0);
	EXPECT_TRUE(busy);
	EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(EepromFileTransferTest, CamToFileStopsAtTheFirstFailedRead)
{
	std::string path = UseFile("camera");
	WriteFile(path, "earlier copy");
	sim::AddFault({ Call::ReceiveSub, 0xA4, 0x10, 14, 0, -1 });
	Press(IDC_CAM_TO_FILE);

	EXPECT_THAT(
		messages,
		ElementsAre(
			kNack,
			"Reading EEPROM page 2 at 0x10 failed; no file was written. Check the camera and press Connect."));
	EXPECT_EQ(ReadFile(path), "earlier copy");
}

// A file that cannot be made: the message names the folder and the cause,
// and no bar stands full beside it.
TEST_F(EepromFileTransferTest, CamToFileIntoAMissingFolderNamesItAndEmptiesTheBar)
{
	const std::string folder = File("missing");
	Edit(IDC_FILE_NAME)->setText(QString::fromStdString(folder + "/camera"));
	int barWithMessage = -1;
	toolkit::SetMessageBoxObserver([&](QMessageBox &box) {
		messages.push_back(box.text().toStdString());
		barWithMessage = m_progress->value();
		QTimer::singleShot(0, &box, &QMessageBox::accept);
	});
	Press(IDC_CAM_TO_FILE);
	EXPECT_THAT(messages, ElementsAre("The settings file " + folder +
					  "/camera.qmx was not written: cannot create a file in the folder " +
					  folder + ": No such file or directory."));
	EXPECT_EQ(highest, 200) << "the EEPROM was read";
	EXPECT_EQ(barWithMessage, 0);
	EXPECT_EQ(m_progress->value(), 0);
}

TEST_F(EepromFileTransferTest, FileToCamWritesAndVerifiesEveryPage)
{
	const int pageCounts[] = { 8, 1, 4 };
	for (int pages : pageCounts) {
		SCOPED_TRACE(pages);
		FillEeprom(0x00);
		std::string path = UseFile("hand");
		WriteFile(path, HandWritten(pages * 256));
		Press(IDC_FILE_TO_CAM);

		EXPECT_THAT(messages, IsEmpty());
		EXPECT_EQ(dlg->m_nPageCount, pages);
		std::vector<std::string> log = Log();
		EXPECT_EQ(Count(log, "WB "), pages * 16u);
		EXPECT_EQ(Count(log, "SLEEP 20"), pages * 16u);
		EXPECT_EQ(Count(log, "RB "), pages * 256u);
		EXPECT_EQ(log.front(), "WB a0:00 01 26 4b 70 95 ba df 04 29 4e 73 98 bd e2 07 2c");
		EXPECT_EQ(log[2 * pages * 16], "RB a1:00");
		for (int i = 0; i < 2048; i++)
			ASSERT_EQ(sim::EepromByte(i), i < pages * 256 ? Pattern(i) : 0) << "byte " << i;
		// Writing and verifying fill the bar once, by time: 127 of the 128
		// writes of a whole EEPROM are 112 of 200 (56 %), not 11.
		if (pages == 8) {
			EXPECT_EQ(shownBy2540ms, 112);
		}
		EXPECT_EQ(m_progress->maximum(), 200);
		EXPECT_EQ(highest, 200);
		EXPECT_EQ(drops, 1);
		EXPECT_EQ(m_progress->value(), 0);
		EXPECT_TRUE(busy);
	}
}

TEST_F(EepromFileTransferTest, DamagedFilesAreRefusedAndNothingIsWritten)
{
	std::string page = HandWritten(256);
	const struct {
		const char *name;
		std::string text;
		const char *message;
	} cases[] = {
		{ "stray letter", page + "0g\n", "line 34: 'g' is no hexadecimal digit" },
		{ "TAB in a value", "0\t1\n" + page, "line 1: the value '0' has one digit, not two" },
		{ "cut value", page.substr(0, page.size() - 2),
		  "line 33: the value 'd' has one digit, not two" },
		{ "comma", "01,02\n", "line 1: ',' directly after a value" },
		{ "300 values", HandWritten(300), "300 values, which is no whole number of pages of 256" },
		{ "one value", HandWritten(1), "holds 1 value, which is no whole number of pages of 256" },
		{ "511 values", HandWritten(511), "511 values" },
		{ "no values", "// nothing here\r\n", "the file holds no values" },
		{ "9 pages", HandWritten(9 * 256), "line 258: more than 8 pages" },
	};
	FillEeprom(0x77);
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		std::string path = UseFile("damaged");
		WriteFile(path, c.text);
		Press(IDC_FILE_TO_CAM);
		ASSERT_EQ(messages.size(), 1u);
		EXPECT_THAT(messages[0], HasSubstr("The settings file " + path + " cannot be used: "));
		EXPECT_THAT(messages[0], HasSubstr(c.message));
		EXPECT_THAT(messages[0], HasSubstr("Nothing was written to the camera."));
		EXPECT_THAT(Log(), IsEmpty());
	}
	for (int i = 0; i < 2048; i++)
		ASSERT_EQ(sim::EepromByte(i), 0x77) << "byte " << i;

	UseFile("absent");
	Press(IDC_FILE_TO_CAM);
	ASSERT_EQ(messages.size(), 1u);
	EXPECT_THAT(messages[0], HasSubstr("cannot be opened for reading"));
	EXPECT_THAT(Log(), IsEmpty());
}

TEST_F(EepromFileTransferTest, FailingBlockInPage2StopsTheWrite)
{
	FillEeprom(0x00);
	std::string path = UseFile("hand");
	WriteFile(path, HandWritten(2048));
	sim::AddFault({ Call::SendSub, 0xA4, 0x30, 14, 0, 1 });
	Press(IDC_FILE_TO_CAM);

	// The device of the failing page, not always 0xa2.
	EXPECT_THAT(messages,
		    ElementsAre(kNack, "error during writing to 0xa4 (QMX-EEprom), action stopped!"));
	std::vector<std::string> log = Log();
	EXPECT_EQ(Count(log, "WB "), 2 * 16 + 4u);
	EXPECT_EQ(Count(log, "RB "), 0u);
	for (int i = 0; i < 2048; i++) {
		bool written = i < 2 * 256 + 0x30;
		ASSERT_EQ(sim::EepromByte(i), written ? Pattern(i) : 0) << "byte " << i;
	}
}

TEST_F(EepromFileTransferTest, VerificationFindsACorruptedByteInPage6)
{
	std::string path = UseFile("hand");
	std::string text = HandWritten(2048);
	// Byte 0x621 of the file is 0x3d.
	size_t at = text.find('\n') + 1 + (0x621 / 8) * 31 + (0x621 % 8) * 4;
	text.replace(at, 2, "3d");
	WriteFile(path, text);
	// The EEPROM loses the byte after the last block was written.
	int pauses = 0;
	AfxSetSleepHandler([&](DWORD ms) {
		sim::AdvanceClock(static_cast<std::int64_t>(ms) * 1000);
		if (++pauses == 128)
			sim::SetEepromByte(0x621, 0x3c);
	});
	Press(IDC_FILE_TO_CAM);

	EXPECT_EQ(Count(Log(), "RB "), 2048u);
	EXPECT_THAT(messages, ElementsAre("QMX file in EEprom corrupt; addr 621: 3c 3d "));
}

TEST_F(EepromFileTransferTest, FileChangedDuringTheWriteIsNotVerified)
{
	std::string path = UseFile("hand");
	const struct {
		std::string replacement;
		const char *reason;
	} cases[] = {
		{ HandWritten(256), "it changed while it was written" },
		{ "zz\n", "line 1: 'z' where a value should stand" },
	};
	for (const auto &c : cases) {
		WriteFile(path, HandWritten(512));
		AfxSetSleepHandler([&](DWORD ms) {
			sim::AdvanceClock(static_cast<std::int64_t>(ms) * 1000);
			WriteFile(path, c.replacement);
		});
		Press(IDC_FILE_TO_CAM);
		EXPECT_EQ(Count(Log(), "RB "), 0u);
		EXPECT_THAT(messages, ElementsAre("The settings file " + path + " cannot be used: " +
						  c.reason + ". The EEPROM was written but not verified."));
	}
}

TEST_F(EepromFileTransferTest, CamToFileKeepsThePreviousFileBesideIt)
{
	std::string path = UseFile("golden");
	WriteFile(path, "the golden file");
	FillEeprom(0x11);
	Press(IDC_CAM_TO_FILE);
	EXPECT_EQ(ReadFile(path + "~"), "the golden file");
	FillEeprom(0x22);
	Press(IDC_CAM_TO_FILE);
	EXPECT_THAT(messages, IsEmpty());
	// Two dumps: the file holds the second, its ~ copy the first.
	EXPECT_NE(ReadFile(path).find("\r\n22 22 22 22"), std::string::npos);
	EXPECT_NE(ReadFile(path + "~").find("\r\n11 11 11 11"), std::string::npos);
	// A dump that changes nothing keeps the copy as it is.
	Press(IDC_CAM_TO_FILE);
	EXPECT_NE(ReadFile(path + "~").find("\r\n11 11 11 11"), std::string::npos);
}
