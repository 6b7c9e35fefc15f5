// Direct I2C panel: targets, SEND in both modes with the pause after a
// write, the hexadecimal filter of its four edits and address stepping.
#include "panel_fixture.h"

#include "resource.h"
#include "sleep.h"

#include <QApplication>
#include <QTest>

namespace sim = qxiic::sim;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class DirectAccessTest : public PanelTest
{
protected:
	void Type(int edit, const char *text)
	{
		Edit(edit)->setFocus();
		Edit(edit)->selectAll();
		QTest::keyClicks(Edit(edit), text);
	}

	void SetRead(bool read)
	{
		if (Checked(IDC_READ) != read)
			Button(IDC_READ)->click();
	}

	std::vector<std::string> Send()
	{
		ClearLog();
		Button(IDC_SEND)->click();
		return Log();
	}
};

TEST_F(DirectAccessTest, TargetsReadAndWriteThroughTheirDeviceForms)
{
	struct Case {
		int radio;
		bool read;
		const char *regHigh, *regLow, *dataHigh, *dataLow;
		std::vector<std::string> log;
		const char *shownHigh, *shownLow;
	};
	const Case cases[] = {
		{ IDC_SENSOR, true, "30", "12", "", "", { "R 3012" }, "00", "a6" },
		{ IDC_SENSOR, false, "c8", "92", "01", "0A", { "W c892=010a", "SLEEP 100" }, "01", "0A" },
		// A byte 0x0A shows with its leading zero.
		{ IDC_SENSOR, true, "c8", "92", "", "", { "R c892" }, "01", "0a" },
		{ IDC_EEPROM0, true, "", "01", "", "", { "RB a1:01" }, "01", "4c" },
		{ IDC_EEPROM0, true, "", "05", "", "", { "RB a1:05" }, "01", "00" },
		{ IDC_EEPROM1, false, "", "ff", "", "5A", { "WB a2:ff 5a", "SLEEP 100" }, "01", "5A" },
		{ IDC_EEPROM1, true, "", "ff", "", "", { "RB a3:ff" }, "01", "5a" },
		{ IDC_EEPROM2, false, "", "10", "", "33", { "WB a4:10 33", "SLEEP 100" }, "01", "33" },
		{ IDC_EEPROM3, false, "", "10", "", "5a", { "WB a6:10 5a", "SLEEP 100" }, "01", "5a" },
		{ IDC_EEPROM3, true, "", "10", "", "", { "RB a7:10" }, "01", "5a" },
	};
	Open();
	for (const Case &c : cases) {
		SCOPED_TRACE(testing::Message() << c.radio << (c.read ? " read " : " write ") << c.regLow);
		SetRead(c.read);
		Button(c.radio)->click();
		bool sensor = c.radio == IDC_SENSOR;
		EXPECT_EQ(Enabled(IDC_REG_HIGH), sensor);
		EXPECT_EQ(Enabled(IDC_DATA_HIGH), sensor);
		EXPECT_EQ(Enabled(IDC_ADDR_PLUS), c.read);
		EXPECT_EQ(Enabled(IDC_ADDR_MINUS), c.read);
		if (sensor)
			Type(IDC_REG_HIGH, c.regHigh);
		Type(IDC_REG_LOW, c.regLow);
		if (*c.dataHigh)
			Type(IDC_DATA_HIGH, c.dataHigh);
		if (*c.dataLow)
			Type(IDC_DATA_LOW, c.dataLow);
		EXPECT_EQ(Send(), c.log);
		EXPECT_EQ(Text(IDC_DATA_HIGH), c.shownHigh);
		EXPECT_EQ(Text(IDC_DATA_LOW), c.shownLow);
	}
	EXPECT_EQ(sim::Register(0xC892), 0x010A);
	EXPECT_EQ(sim::EepromByte(0x1FF), 0x5A);
	EXPECT_EQ(sim::EepromByte(0x210), 0x33);
	EXPECT_EQ(sim::EepromByte(0x310), 0x5A);
	EXPECT_TRUE(messages.empty());
}

TEST_F(DirectAccessTest, ReadCheckBoxFlipsTheDeviceForm)
{
	Open();
	Button(IDC_EEPROM2)->click();
	EXPECT_EQ(dlg->m_nDirectDevice, 0xA5);
	EXPECT_EQ(dlg->m_bDirectSensor, 0);
	Button(IDC_READ)->click();
	EXPECT_EQ(dlg->m_nDirectDevice, 0xA4);
	EXPECT_EQ(dlg->m_bReadMode, 0);
	Type(IDC_DATA_LOW, "77");
	EXPECT_THAT(Send(), ElementsAre("WB a4:12 77", "SLEEP 100"));
	Button(IDC_SENSOR)->click();
	EXPECT_EQ(dlg->m_nDirectDevice, 0xBA);
	Button(IDC_READ)->click();
	EXPECT_EQ(dlg->m_nDirectDevice, 0xBB);
	EXPECT_EQ(dlg->m_bDirectSensor, 1);
	EXPECT_EQ(dlg->m_bReadMode, 1);
	EXPECT_THAT(Send(), ElementsAre("R 3012"));
}

TEST_F(DirectAccessTest, WriteWaitsBeforeAnyFurtherTransferUnderABusyCursor)
{
	Open();
	SetRead(false);
	Button(IDC_EEPROM3)->click();
	Type(IDC_DATA_LOW, "5a");
	std::vector<bool> busy;
	AfxSetSleepHandler([&](DWORD ms) {
		QCursor *cursor = QApplication::overrideCursor();
		busy.push_back(cursor && cursor->shape() == Qt::WaitCursor);
		sim::AdvanceClock(static_cast<std::int64_t>(ms) * 1000);
	});
	ClearLog();
	Button(IDC_SEND)->click();
	Type(IDC_REG_LOW, "11");
	Button(IDC_SEND)->click();
	Button(IDC_SENSOR)->click();
	Type(IDC_DATA_HIGH, "00");
	Button(IDC_SEND)->click();
	EXPECT_EQ(busy, std::vector<bool>(3, true));
	EXPECT_EQ(QApplication::overrideCursor(), nullptr);

	// The EEPROM would refuse a write inside its write cycle: each write
	// comes 100 ms after the one before.
	std::vector<std::int64_t> times;
	for (const sim::TraceEntry &e : sim::Trace()) {
		if (e.call == sim::Call::SendSub)
			times.push_back(e.timeUs);
	}
	ASSERT_EQ(times.size(), 3u);
	EXPECT_EQ(times[1] - times[0], 100000);
	EXPECT_EQ(times[2] - times[1], 100000);
	EXPECT_EQ(sim::EepromByte(0x311), 0x5A);
	EXPECT_EQ(sim::Register(0x3011), 0x005A);
	EXPECT_TRUE(messages.empty());
}

TEST_F(DirectAccessTest, EmptiedTextsMakeSendDoNothing)
{
	struct Case {
		int radio;
		bool read;
		int emptied;
	};
	const Case cases[] = {
		{ IDC_SENSOR, true, IDC_REG_HIGH },  { IDC_SENSOR, true, IDC_REG_LOW },
		{ IDC_SENSOR, false, IDC_REG_LOW },  { IDC_SENSOR, false, IDC_DATA_HIGH },
		{ IDC_SENSOR, false, IDC_DATA_LOW }, { IDC_EEPROM0, true, IDC_REG_LOW },
		{ IDC_EEPROM0, false, IDC_REG_LOW }, { IDC_EEPROM0, false, IDC_DATA_LOW },
	};
	// Right after connect, the data texts are still empty: a write does nothing.
	Open();
	SetRead(false);
	EXPECT_THAT(Send(), IsEmpty());
	for (const Case &c : cases) {
		SCOPED_TRACE(testing::Message() << c.radio << (c.read ? " read " : " write ") << c.emptied);
		for (int id : { IDC_REG_HIGH, IDC_REG_LOW, IDC_DATA_HIGH, IDC_DATA_LOW })
			Type(id, "44");
		SetRead(c.read);
		Button(c.radio)->click();
		Button(IDC_SENSOR)->click();
		Type(c.emptied, "4g");
		EXPECT_EQ(Text(c.emptied), "");
		Button(c.radio)->click();
		EXPECT_THAT(Send(), IsEmpty());
	}
	// The data high text means nothing to an EEPROM write.
	Type(IDC_REG_LOW, "44");
	Type(IDC_DATA_LOW, "44");
	Button(IDC_SENSOR)->click();
	Type(IDC_DATA_HIGH, "g0");
	Button(IDC_EEPROM0)->click();
	EXPECT_THAT(Send(), ElementsAre("WB a0:44 44", "SLEEP 100"));
	EXPECT_TRUE(messages.empty());
}

TEST_F(DirectAccessTest, HexFilter)
{
	Open();
	QLineEdit *regLow = Edit(IDC_REG_LOW);

	// The limit does not cut a longer text the edit already holds (pasted
	// before anything was typed); it stops further typing.
	Edit(IDC_DATA_LOW)->setText("abcd");
	EXPECT_EQ(Text(IDC_DATA_LOW), "abcd");
	EXPECT_EQ(dlg->m_strDataLow, "");
	Type(IDC_DATA_LOW, "ABC");
	EXPECT_EQ(Text(IDC_DATA_LOW), "AB");
	EXPECT_EQ(dlg->m_strDataLow, "AB");

	// One character leaves the member as it was; two valid ones replace it.
	Type(IDC_REG_LOW, "4");
	EXPECT_EQ(Text(IDC_REG_LOW), "4");
	EXPECT_EQ(dlg->m_strRegLow, "12");
	EXPECT_THAT(Send(), ElementsAre("R 3012"));
	// The refresh after the read shows the address that was read.
	EXPECT_EQ(Text(IDC_REG_LOW), "12");
	Type(IDC_REG_LOW, "4");
	QTest::keyClicks(regLow, "E");
	EXPECT_EQ(dlg->m_strRegLow, "4E");
	EXPECT_THAT(Send(), ElementsAre("R 304e"));

	// Two characters at most can be typed.
	Type(IDC_REG_LOW, "567");
	EXPECT_EQ(Text(IDC_REG_LOW), "56");
	EXPECT_EQ(dlg->m_strRegLow, "56");

	// With two characters, a bad one empties the edit, first or second.
	Type(IDC_REG_LOW, "1g");
	EXPECT_EQ(Text(IDC_REG_LOW), "");
	EXPECT_EQ(dlg->m_strRegLow, "");
	Type(IDC_DATA_LOW, "x1");
	EXPECT_EQ(Text(IDC_DATA_LOW), "");
	Type(IDC_DATA_HIGH, "-0");
	EXPECT_EQ(Text(IDC_DATA_HIGH), "");
	Type(IDC_REG_HIGH, "f ");
	EXPECT_EQ(Text(IDC_REG_HIGH), "");
	EXPECT_TRUE(messages.empty());
}

TEST_F(DirectAccessTest, AddressSteppingStopsAtTheEndsOfTheLowByte)
{
	struct Case {
		int radio, button;
		const char *from, *to;
		std::vector<std::string> log;
	};
	const Case cases[] = {
		{ IDC_SENSOR, IDC_ADDR_PLUS, "11", "12", { "R 3012" } },
		{ IDC_SENSOR, IDC_ADDR_PLUS, "fd", "fe", { "R 30fe" } },
		{ IDC_SENSOR, IDC_ADDR_PLUS, "fe", "fe", {} },
		{ IDC_SENSOR, IDC_ADDR_MINUS, "03", "00", { "R 3000" } },
		{ IDC_SENSOR, IDC_ADDR_MINUS, "02", "00", { "R 3000" } },
		{ IDC_SENSOR, IDC_ADDR_MINUS, "01", "01", {} },
		{ IDC_EEPROM0, IDC_ADDR_PLUS, "10", "11", { "RB a1:11" } },
		{ IDC_EEPROM0, IDC_ADDR_PLUS, "fe", "ff", { "RB a1:ff" } },
		{ IDC_EEPROM0, IDC_ADDR_PLUS, "ff", "ff", {} },
		{ IDC_EEPROM3, IDC_ADDR_MINUS, "01", "00", { "RB a7:00" } },
		{ IDC_EEPROM3, IDC_ADDR_MINUS, "00", "00", {} },
	};
	sim::SetRegister(0x30FE, 0x1234);
	Open();
	for (const Case &c : cases) {
		SCOPED_TRACE(testing::Message() << c.radio << " " << c.button << " from " << c.from);
		Button(c.radio)->click();
		Type(IDC_REG_LOW, c.from);
		Type(IDC_DATA_LOW, "99");
		ClearLog();
		Button(c.button)->click();
		EXPECT_EQ(Log(), c.log);
		EXPECT_EQ(Text(IDC_REG_LOW), c.to);
		// The high byte never carries.
		EXPECT_EQ(Text(IDC_REG_HIGH), "30");
		if (c.log.empty()) {
			EXPECT_EQ(Text(IDC_DATA_LOW), "99");
		}
	}
	Button(IDC_SENSOR)->click();
	Type(IDC_REG_LOW, "fc");
	Button(IDC_ADDR_PLUS)->click();
	EXPECT_EQ(Text(IDC_DATA_HIGH), "12");
	EXPECT_EQ(Text(IDC_DATA_LOW), "34");
	EXPECT_TRUE(messages.empty());
}

} // namespace
