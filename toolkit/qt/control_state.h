// What the toolkit keeps for one control of a dialog beside its widget:
// a typed record per control, owned by the dialog's host and created from
// the control's row of the template.
#pragma once

#include <chrono>

#include "../resources.h"

class CWnd;
class QWidget;

struct EditState {
	int limit = 0;          // typing limit set by the program; 0: the largest text
	bool multiline = false; // a program-set text raises no change handler
	bool quiet = false;     // a program-set text is going in without notification
};

// The range as the program set it: Qt's own range is that of the thumb.
struct ScrollState {
	int min = 0;
	int max = 100;
	int page = 0;
};

struct ProgressState {
	int step = 10;
	// When the bar last painted while its owner blocked the thread.
	std::chrono::steady_clock::time_point painted{};
};

struct ControlState {
	explicit ControlState(const ControlTemplate &row) : tmpl(row) {}

	int id() const { return tmpl.id; }
	ControlKind kind() const { return tmpl.kind; }
	bool isRadio() const { return tmpl.kind == ControlKind::RadioButton; }

	ControlTemplate tmpl;
	QWidget *widget = nullptr;
	CWnd *object = nullptr; // the control object the data exchange attached
	EditState edit;
	ScrollState scroll;
	ProgressState progress;
};
