// Shared set-up for the panel tests: a factory-fresh simulated camera on a
// manual clock, pauses recorded instead of slept, message boxes recorded
// and closed, and the trace of bus transfers in a compact form.
#pragma once

#include "VelmoraDlg.h"
#include "qxiic_sim.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QScrollBar>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class PanelTest : public ::testing::Test
{
protected:
	void SetUp() override;
	void TearDown() override;

	// Creates the panel, which reads the camera as at start-up.
	void Open();
	// Forgets the transfers, pauses and messages seen so far.
	void ClearLog();

	QWidget *Control(int id) const;
	QLineEdit *Edit(int id) const;
	QAbstractButton *Button(int id) const;
	QScrollBar *Bar(int id) const;
	// The operator's way in: a mouse click on the control, or typing
	// over the whole text of a focused edit.
	void Click(int id);
	void Type(int id, const char *text);
	bool Enabled(int id) const;
	bool Checked(int id) const;
	std::string Text(int id) const;

	// Transfers since the last ClearLog, one string each:
	//   "W 3012=00a6"   sensor register write
	//   "R 3012"        sensor register read
	//   "WB a6:10 5a 00" EEPROM write at a sub-address, the bytes sent
	//   "RB a3:ff"      EEPROM read of one or more bytes at a sub-address
	//   "RAW a9 16"     plain read of 16 bytes
	//   "SLEEP 50"      a pause of the panel's thread
	// A failed transfer ends in " !<status>".
	std::vector<std::string> Log() const;
	// Only the sensor register writes of Log(), as "3012=00a6".
	std::vector<std::string> RegisterWrites() const;

	std::unique_ptr<CVelmoraDlg> dlg;
	std::vector<std::string> messages;

private:
	struct Pause {
		size_t traceIndex;
		unsigned long ms;
	};
	std::vector<Pause> m_pauses;
	size_t m_traceStart = 0;
};

// How many entries of a log begin with prefix.
size_t Count(const std::vector<std::string> &log, const std::string &prefix);

// Hex helpers for expectations.
std::string Hex4(int value);
