// Every handler that talks to the camera, with the k-th transfer of its
// sequence failing, for every k, and with the camera unplugged: the panel
// stops at the failure and says so in at most two boxes (the adapter's
// message, then what was left undone), leaves the EEPROM alone outside
// what the operation writes, and works again once the camera answers.
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
		// What the second box may say (its beginning); none: one box only.
		std::vector<std::string> undone;
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

	void Check(const Handler &h, const char *text)
	{
		ASSERT_GE(messages.size(), 1u);
		ASSERT_LE(messages.size(), h.undone.empty() ? 1u : 2u) << ::testing::PrintToString(messages);
		EXPECT_EQ(messages.front(), text);
		if (messages.size() == 2) {
			bool known = false;
			for (const std::string &prefix : h.undone)
				known = known || messages[1].rfind(prefix, 0) == 0;
			EXPECT_TRUE(known) << messages[1];
		}
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
		{ "Connect", nullptr, [](T &t) { t.Click(IDC_CONNECT); }, { "I2C Communication Error; Connect Camera and push Connect" }, {} },
		{ "Manual Exposure on", nullptr, [](T &t) { t.Click(IDC_MANUAL_EXPOSURE); }, { "The exposure mode was not changed completely." }, {} },
		{ "Manual Exposure off", manualExposure, [](T &t) { t.Click(IDC_MANUAL_EXPOSURE); }, { "The exposure mode was not changed completely." }, {} },
		{ "shutter", manualExposure, [](T &t) { t.Type(IDC_SHUTTER, "0b5"); }, {}, {} },
		{ "AEX ref.", nullptr, [](T &t) { t.Type(IDC_AEX_REF, "7f"); }, {}, {} },
		{ "Auto WB mode", manualWb, [](T &t) { t.Click(IDC_AUTO_WB); }, {}, {} },
		{ "Push2White release", pushToSet, [](T &t) { t.Click(IDC_PUSH2WHITE); }, {}, {} },
		{ "Push2White measure", pushToSet,
		  [](T &t) {
			  t.dlg->m_bP2wSet = 0;
			  t.Click(IDC_PUSH2WHITE);
		  },
		  { "The white balance measurement was not completed." }, {} },
		{ "Manual mode", pushToSet, [](T &t) { t.Click(IDC_MANUAL_MODE); }, { "The manual white balance was not set up." }, {} },
		{ "Push to Set", manualWb, [](T &t) { t.Click(IDC_PUSH_TO_SET); }, { "The white balance gain was not applied." }, {} },
		{ "Red-Green", manualWb, [](T &t) { t.Type(IDC_RED_GREEN, "50"); }, { "The white balance gain was not applied." }, {} },
		{ "Blue-Green", manualWb, [](T &t) { t.Type(IDC_BLUE_GREEN, "50"); }, { "The white balance gain was not applied." }, {} },
		{ "sharpness", nullptr, [](T &t) { t.Type(IDC_SHARPNESS, "3"); }, {}, {} },
		{ "Mirror", nullptr, [](T &t) { t.Click(IDC_MIRROR); }, { "Mirror and flip were not applied completely." }, {} },
		{ "Flip", nullptr, [](T &t) { t.Click(IDC_FLIP); }, { "Mirror and flip were not applied completely." }, {} },
		{ "enable overlay", nullptr, [](T &t) { t.Click(IDC_ENABLE_OVERLAY); }, {}, {} },
		{ "overlay 1", nullptr, [](T &t) { t.Click(IDC_OVERLAY1); }, {}, {} },
		{ "overlay 2", nullptr, [](T &t) { t.Click(IDC_OVERLAY2); }, {}, {} },
		{ "overlay 3", nullptr, [](T &t) { t.Click(IDC_OVERLAY3); }, {}, {} },
		{ "overlay 4", nullptr, [](T &t) { t.Click(IDC_OVERLAY4); }, {}, {} },
		{ "trim left", nullptr, [](T &t) { t.Click(IDC_TRIM_LEFT); }, { "The image trim was not applied completely." }, {} },
		{ "trim right", nullptr, [](T &t) { t.Click(IDC_TRIM_RIGHT); }, { "The image trim was not applied completely." }, {} },
		{ "trim up", nullptr, [](T &t) { t.Click(IDC_TRIM_UP); }, { "The image trim was not applied completely." }, {} },
		{ "trim down", nullptr, [](T &t) { t.Click(IDC_TRIM_DOWN); }, { "The image trim was not applied completely." }, {} },
		{ "STORE", nullptr, [](T &t) { t.Click(IDC_TRIM_STORE); }, {}, { { 0x400, 0x401 } } },
		{ "direct sensor read", nullptr, [](T &t) { t.Click(IDC_SEND); }, {}, {} },
		{ "direct sensor write", nullptr,
		  [](T &t) {
			  t.Click(IDC_READ);
			  t.Type(IDC_DATA_HIGH, "01");
			  t.Type(IDC_DATA_LOW, "23");
			  t.Click(IDC_SEND);
		  },
		  {}, {} },
		{ "Addr plus", nullptr, [](T &t) { t.Click(IDC_ADDR_PLUS); }, {}, {} },
		{ "Addr minus", nullptr, [](T &t) { t.Click(IDC_ADDR_MINUS); }, {}, {} },
		{ "direct EEPROM read", nullptr,
		  [](T &t) {
			  t.SelectEepromByte();
			  t.Click(IDC_SEND);
		  },
		  {}, {} },
		{ "direct EEPROM write", nullptr,
		  [](T &t) {
			  t.SelectEepromByte();
			  t.Click(IDC_READ);
			  t.Type(IDC_DATA_LOW, "5a");
			  t.Click(IDC_SEND);
		  },
		  {}, { { 0x210, 0x210 } } },
		{ "Cam --> File", nullptr,
		  [](T &t) {
			  t.TypeFileName();
			  t.Click(IDC_CAM_TO_FILE);
		  },
		  { "Reading EEPROM page " }, {} },
		{ "File --> Cam", nullptr,
		  [](T &t) {
			  t.TypeFileName();
			  WriteThreePageFile((s_dir.path() + "/sweep.qmx").toStdString());
			  t.Click(IDC_FILE_TO_CAM);
		  },
		  { "error during writing to 0x", "error during Reading back from QMX EEProm " }, { { 0x000, 0x2FF } } },
		{ "Save", nullptr, [](T &t) { t.Click(IDC_SAVE); }, { "EEPROM page 3 could not be cleared", "Reading the camera failed", "Writing to the EEPROM failed" }, { kScriptPage, kFreezeMarker } },
		{ "Erase EEp", nullptr,
		  [](T &t) {
			  // Every other press only warns.
			  t.Click(IDC_ERASE_EEPROM);
			  if (t.messages.size() == 1 && t.messages[0].rfind("This will erase", 0) == 0) {
				  t.messages.clear();
				  t.Click(IDC_ERASE_EEPROM);
			  }
		  },
		  { "EEPROM page 3 was not erased completely." }, { kScriptPage } },
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
			EXPECT_EQ(Run(h, fault), k) << "the handler ran on after " << FailedTransfer();
			Check(h, status.text);
			cases++;
			if (HasFailure())
				return;
		}
	}
	EXPECT_EQ(Run(h, std::nullopt, false), 1);
	Check(h, "error: USB_I2C_NACK");
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
