// Every handler that talks to the camera, with the k-th transfer of its
// sequence failing, for every k, and with the camera unplugged: the panel
// tells the operator, leaves the EEPROM alone outside what the operation
// writes, and works again once the camera answers.
//
// Statuses are sampled: each k fails with one status, taken in turn from
// the adapter's statuses and an unknown one; every status fails the first
// transfer.
#include "panel_fixture.h"

#include "adapter_statuses.h"
#include "resource.h"

#include <QTemporaryDir>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>

namespace sim = qxiic::sim;

namespace {

struct Range {
	int first, last; // EEPROM addresses, page * 256 + offset
};

class FaultSweepTest : public PanelTest, public ::testing::WithParamInterface<size_t>
{
public:
	struct Handler {
		const char *name;
		void (*camera)();               // the camera before the panel opens
		void (*act)(FaultSweepTest &t); // the operator's action
		// Failed transfers after which the handler stops with a message of
		// its own (prefixes of the log entry; "" for every transfer).
		std::vector<std::string> stopsAfter;
		int unpluggedMessages;
		std::vector<Range> mayChange;
	};
	static const std::vector<Handler> &Handlers();

protected:
	static std::vector<std::uint8_t> Eeprom()
	{
		std::vector<std::uint8_t> bytes(2048);
		for (int a = 0; a < 2048; a++)
			bytes[a] = sim::EepromByte(a);
		return bytes;
	}
	static int Transfers()
	{
		int n = 0;
		for (const sim::TraceEntry &e : sim::Trace())
			n += e.call == sim::Call::SendSub || e.call == sim::Call::ReceiveSub ||
			     e.call == sim::Call::Receive;
		return n;
	}
	std::string FailedTransfer() const
	{
		for (const std::string &entry : Log())
			if (entry.find(" !") != std::string::npos)
				return entry.substr(0, entry.find(" !"));
		return "(none)";
	}

	// Opens the panel on the handler's camera, runs the handler under
	// the fault or unplugged, and returns the transfers it made.
	int Run(const Handler &h, std::optional<sim::Fault> fault, bool plugged = true)
	{
		sim::Reset();
		sim::UseManualClock(true);
		if (h.camera)
			h.camera();
		Open();
		sim::ClearTrace();
		ClearLog();
		m_before = Eeprom();
		if (fault)
			sim::AddFault(*fault);
		sim::SetPlugged(plugged);
		h.act(*this);
		return Transfers();
	}

	void ExpectEepromKept(const Handler &h) const
	{
		std::vector<std::uint8_t> after = Eeprom();
		for (int a = 0; a < 2048; a++) {
			bool allowed = false;
			for (const Range &r : h.mayChange)
				allowed = allowed || (a >= r.first && a <= r.last);
			EXPECT_TRUE(allowed || after[a] == m_before[a])
				<< "EEPROM byte " << Hex4(a) << " changed";
		}
	}

	void Check(const Handler &h, size_t expectedMessages, const char *text)
	{
		ASSERT_EQ(messages.size(), expectedMessages) << ::testing::PrintToString(messages);
		EXPECT_EQ(messages.front(), text);
		ExpectEepromKept(h);

		// Usable again: Connect reads the camera, typing reaches it.
		sim::ClearFaults();
		sim::SetPlugged(true);
		sim::AdvanceClock(sim::kEepromWriteCycleUs);
		ClearLog();
		Click(IDC_CONNECT);
		Type(IDC_SHARPNESS, "1");
		EXPECT_EQ(sim::Register(0x326C) & 0x3800, 0x0800);
		EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(messages);
		dlg.reset();
	}

	static QTemporaryDir s_dir;
	void TypeFileName();
	void SelectEepromByte(); // page 2, offset 0x10

private:
	std::vector<std::uint8_t> m_before;
};

QTemporaryDir FaultSweepTest::s_dir;

constexpr Range kScriptPage = { 0x300, 0x3FF };
constexpr Range kFreezeMarker = { 0x1FF, 0x1FF };

// A settings file of three pages; the other five stay as they are.
void WriteThreePageFile(const std::string &path)
{
	std::ofstream out(path, std::ios::binary);
	out << "//Settings file : " << path << "\r\n";
	for (int page = 0; page < 3; page++) {
		out << "//Page " << page << " of the EEprom:\t\r\n";
		for (int i = 0; i < 256; i++) {
			char value[4];
			std::snprintf(value, sizeof(value), "%02X ", (page * 256 + i) * 7 & 0xFF);
			out << value << (i % 16 == 15 ? "\r\n" : "");
		}
	}
}

void FaultSweepTest::TypeFileName()
{
	Type(IDC_FILE_NAME, (s_dir.path() + "/sweep").toUtf8().constData());
}

void FaultSweepTest::SelectEepromByte()
{
	Click(IDC_EEPROM2);
	Type(IDC_REG_LOW, "10");
}

const std::vector<FaultSweepTest::Handler> &FaultSweepTest::Handlers()
{
	using T = FaultSweepTest;
	auto manualExposure = [] { sim::SetRegister(0xA804, 0x0000); };
	auto manualWb = [] {
		sim::SetRegister(0xAC04, 0xFF00);
		sim::SetRegister(0xAC48, 0x004A);
		sim::SetRegister(0xAC4A, 0x003C);
	};
	auto pushToSet = [] { sim::SetRegister(0xAC04, 0x0000); };
	// One handler a row: the table reads as one.
	// clang-format off
	static const std::vector<Handler> handlers = {
		{ "Connect", nullptr, [](T &t) { t.Click(IDC_CONNECT); }, { "R 301c", "R 4000", "R 4f02", "RB a9:00" }, 2, {} },
		{ "Manual Exposure on", nullptr, [](T &t) { t.Click(IDC_MANUAL_EXPOSURE); }, {}, 9, {} },
		{ "Manual Exposure off", manualExposure, [](T &t) { t.Click(IDC_MANUAL_EXPOSURE); }, {}, 3, {} },
		{ "shutter", manualExposure, [](T &t) { t.Type(IDC_SHUTTER, "0b5"); }, {}, 1, {} },
		{ "AEX ref.", nullptr, [](T &t) { t.Type(IDC_AEX_REF, "7f"); }, {}, 1, {} },
		{ "Auto WB mode", manualWb, [](T &t) { t.Click(IDC_AUTO_WB); }, {}, 1, {} },
		{ "Push2White twice", pushToSet,
		  [](T &t) {
			  t.Click(IDC_PUSH2WHITE);
			  t.Click(IDC_PUSH2WHITE);
		  },
		  {}, 32, {} },
		{ "Manual mode", pushToSet, [](T &t) { t.Click(IDC_MANUAL_MODE); }, {}, 35, {} },
		{ "Push to Set", manualWb, [](T &t) { t.Click(IDC_PUSH_TO_SET); }, {}, 4, {} },
		{ "Red-Green", manualWb, [](T &t) { t.Type(IDC_RED_GREEN, "50"); }, {}, 2, {} },
		{ "Blue-Green", manualWb, [](T &t) { t.Type(IDC_BLUE_GREEN, "50"); }, {}, 2, {} },
		{ "sharpness", nullptr, [](T &t) { t.Type(IDC_SHARPNESS, "3"); }, {}, 1, {} },
		{ "Mirror", nullptr, [](T &t) { t.Click(IDC_MIRROR); }, {}, 2, {} },
		{ "Flip", nullptr, [](T &t) { t.Click(IDC_FLIP); }, {}, 2, {} },
		{ "enable overlay", nullptr, [](T &t) { t.Click(IDC_ENABLE_OVERLAY); }, {}, 1, {} },
		{ "overlay 1", nullptr, [](T &t) { t.Click(IDC_OVERLAY1); }, {}, 1, {} },
		{ "overlay 2", nullptr, [](T &t) { t.Click(IDC_OVERLAY2); }, {}, 1, {} },
		{ "overlay 3", nullptr, [](T &t) { t.Click(IDC_OVERLAY3); }, {}, 1, {} },
		{ "overlay 4", nullptr, [](T &t) { t.Click(IDC_OVERLAY4); }, {}, 1, {} },
		{ "trim left", nullptr, [](T &t) { t.Click(IDC_TRIM_LEFT); }, {}, 363, {} },
		{ "trim right", nullptr, [](T &t) { t.Click(IDC_TRIM_RIGHT); }, {}, 363, {} },
		{ "trim up", nullptr, [](T &t) { t.Click(IDC_TRIM_UP); }, {}, 363, {} },
		{ "trim down", nullptr, [](T &t) { t.Click(IDC_TRIM_DOWN); }, {}, 363, {} },
		{ "STORE", nullptr, [](T &t) { t.Click(IDC_TRIM_STORE); }, {}, 1, { { 0x400, 0x401 } } },
		{ "direct sensor read", nullptr, [](T &t) { t.Click(IDC_SEND); }, {}, 1, {} },
		{ "direct sensor write", nullptr,
		  [](T &t) {
			  t.Click(IDC_READ);
			  t.Type(IDC_DATA_HIGH, "01");
			  t.Type(IDC_DATA_LOW, "23");
			  t.Click(IDC_SEND);
		  },
		  {}, 1, {} },
		{ "Addr plus", nullptr, [](T &t) { t.Click(IDC_ADDR_PLUS); }, {}, 1, {} },
		{ "Addr minus", nullptr, [](T &t) { t.Click(IDC_ADDR_MINUS); }, {}, 1, {} },
		{ "direct EEPROM read", nullptr,
		  [](T &t) {
			  t.SelectEepromByte();
			  t.Click(IDC_SEND);
		  },
		  {}, 1, {} },
		{ "direct EEPROM write", nullptr,
		  [](T &t) {
			  t.SelectEepromByte();
			  t.Click(IDC_READ);
			  t.Type(IDC_DATA_LOW, "5a");
			  t.Click(IDC_SEND);
		  },
		  {}, 1, { { 0x210, 0x210 } } },
		{ "Cam --> File", nullptr,
		  [](T &t) {
			  t.TypeFileName();
			  t.Click(IDC_CAM_TO_FILE);
		  },
		  { "" }, 2, {} },
		{ "File --> Cam", nullptr,
		  [](T &t) {
			  t.TypeFileName();
			  WriteThreePageFile((s_dir.path() + "/sweep.qmx").toStdString());
			  t.Click(IDC_FILE_TO_CAM);
		  },
		  { "" }, 2, { { 0x000, 0x2FF } } },
		{ "Save", nullptr, [](T &t) { t.Click(IDC_SAVE); }, { "" }, 17, { kScriptPage, kFreezeMarker } },
		{ "Erase EEp", nullptr,
		  [](T &t) {
			  // Every other press only warns.
			  t.Click(IDC_ERASE_EEPROM);
			  if (t.messages.size() == 1 && t.messages[0].rfind("This will erase", 0) == 0) {
				  t.messages.clear();
				  t.Click(IDC_ERASE_EEPROM);
			  }
		  },
		  {}, 16, { kScriptPage } },
	};
	// clang-format on
	return handlers;
}

TEST_P(FaultSweepTest, SurvivesEveryFailedTransfer)
{
	ASSERT_TRUE(s_dir.isValid());
	const Handler &h = Handlers()[GetParam()];
	const int statuses = static_cast<int>(std::size(kAdapterStatuses));
	const int length = Run(h, std::nullopt);
	ASSERT_TRUE(messages.empty()) << ::testing::PrintToString(messages);
	ASSERT_GT(length, 0);
	ExpectEepromKept(h);
	dlg.reset();

	int cases = 0;
	for (int k = 1; k <= length; k++) {
		for (int s = 0; s < statuses; s++) {
			if (k > 1 && s != k % statuses)
				continue;
			const AdapterStatus &status = kAdapterStatuses[s];
			SCOPED_TRACE(::testing::Message()
				     << "transfer " << k << " fails with " << status.status);
			sim::Fault fault;
			fault.status = status.status;
			fault.skip = k - 1;
			EXPECT_LE(Run(h, fault), length + 1) << "the handler ran on";
			bool stops = false;
			for (const std::string &prefix : h.stopsAfter)
				stops = stops || FailedTransfer().rfind(prefix, 0) == 0;
			Check(h, stops ? 2 : 1, status.text);
			cases++;
			if (HasFailure())
				return;
		}
	}
	Run(h, std::nullopt, false);
	Check(h, h.unpluggedMessages, "error: USB_I2C_NACK");
	std::printf("[ sweep    ] %s: %d transfers, %d cases\n", h.name, length, cases + 1);
}

INSTANTIATE_TEST_SUITE_P(Handlers, FaultSweepTest,
			 ::testing::Range<size_t>(0, FaultSweepTest::Handlers().size()),
			 [](const ::testing::TestParamInfo<size_t> &param) {
				 std::string name;
				 for (char c : std::string(FaultSweepTest::Handlers()[param.param].name))
					 if (std::isalnum(static_cast<unsigned char>(c)))
						 name += c;
				 return name;
			 });

} // namespace
