#include "panel_fixture.h"
#include "simulated_camera.h"

#include "msgbox.h"
#include "qt_access.h"
#include "sleep.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using qxiic::sim::Call;

std::string Hex4(int value)
{
	char text[8];
	std::snprintf(text, sizeof(text), "%04x", value & 0xFFFF);
	return text;
}

namespace {

std::string hex2(int value)
{
	char text[4];
	std::snprintf(text, sizeof(text), "%02x", value & 0xFF);
	return text;
}

bool isSensor(int device)
{
	return device == 0xBA || device == 0xBB;
}

std::string describe(const qxiic::sim::TraceEntry &e)
{
	std::string text;
	switch (e.call) {
	case Call::SendSub:
		if (isSensor(e.device) && e.subLength == 2 && e.data.size() == 2) {
			text = "W " + Hex4(e.subAddress) + "=" + hex2(e.data[0]) + hex2(e.data[1]);
		} else {
			text = "WB " + hex2(e.device) + ":" + hex2(e.subAddress);
			for (std::uint8_t b : e.data)
				text += " " + hex2(b);
		}
		break;
	case Call::ReceiveSub:
		if (isSensor(e.device) && e.subLength == 2)
			text = "R " + Hex4(e.subAddress);
		else
			text = "RB " + hex2(e.device) + ":" + hex2(e.subAddress);
		break;
	case Call::Receive:
		text = "RAW " + hex2(e.device) + " " + std::to_string(e.count);
		break;
	default:
		return {};
	}
	if (e.status != 0)
		text += " !" + std::to_string(e.status);
	return text;
}

} // namespace

void PanelTest::SetUp()
{
	UseFreshSimulatedCamera();
	toolkit::SetMessageBoxObserver([this](QMessageBox &box) {
		messages.push_back(box.text().toStdString());
		QTimer::singleShot(0, &box, &QMessageBox::accept);
	});
	AfxSetSleepHandler([this](DWORD ms) {
		m_pauses.push_back({ qxiic::sim::Trace().size(), ms });
		qxiic::sim::AdvanceClock(static_cast<std::int64_t>(ms) * 1000);
	});
	ClearLog();
}

void PanelTest::TearDown()
{
	dlg.reset();
	toolkit::SetMessageBoxObserver({});
	AfxSetSleepHandler({});
}

void PanelTest::Open()
{
	dlg = std::make_unique<CVelmoraDlg>();
	ASSERT_TRUE(dlg->Create());
}

void PanelTest::ClearLog()
{
	m_traceStart = qxiic::sim::Trace().size();
	m_pauses.clear();
	messages.clear();
}

QWidget *PanelTest::Control(int id) const
{
	QWidget *widget = dlg ? toolkit::ControlWidget(*dlg, id) : nullptr;
	EXPECT_NE(widget, nullptr) << "no control " << id;
	return widget;
}

QLineEdit *PanelTest::Edit(int id) const
{
	return qobject_cast<QLineEdit *>(Control(id));
}

QAbstractButton *PanelTest::Button(int id) const
{
	return qobject_cast<QAbstractButton *>(Control(id));
}

QScrollBar *PanelTest::Bar(int id) const
{
	return qobject_cast<QScrollBar *>(Control(id));
}

void PanelTest::Click(int id)
{
	if (QWidget *widget = Control(id))
		QTest::mouseClick(widget, Qt::LeftButton);
}

void PanelTest::Type(int id, const char *text)
{
	QLineEdit *edit = Edit(id);
	if (!edit)
		return;
	edit->setFocus();
	QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
	QTest::keyClicks(edit, text);
}

bool PanelTest::Enabled(int id) const
{
	QWidget *widget = Control(id);
	return widget && widget->isEnabled();
}

bool PanelTest::Checked(int id) const
{
	QAbstractButton *button = Button(id);
	return button && button->isChecked();
}

std::string PanelTest::Text(int id) const
{
	QLineEdit *edit = Edit(id);
	return edit ? edit->text().toStdString() : std::string();
}

std::vector<std::string> PanelTest::Log() const
{
	std::vector<qxiic::sim::TraceEntry> trace = qxiic::sim::Trace();
	std::vector<std::string> log;
	size_t pause = 0;
	for (size_t i = m_traceStart; i <= trace.size(); i++) {
		for (; pause < m_pauses.size() && m_pauses[pause].traceIndex <= i; pause++)
			log.push_back("SLEEP " + std::to_string(m_pauses[pause].ms));
		if (i == trace.size())
			break;
		std::string entry = describe(trace[i]);
		if (!entry.empty())
			log.push_back(entry);
	}
	return log;
}

std::vector<std::string> PanelTest::RegisterWrites() const
{
	std::vector<std::string> writes;
	for (const std::string &entry : Log()) {
		if (entry.rfind("W ", 0) == 0)
			writes.push_back(entry.substr(2));
	}
	return writes;
}

size_t Count(const std::vector<std::string> &log, const std::string &prefix)
{
	size_t n = 0;
	for (const std::string &entry : log)
		n += entry.rfind(prefix, 0) == 0;
	return n;
}
