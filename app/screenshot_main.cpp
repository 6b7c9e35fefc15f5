// Renders the control panel on the simulated camera into a PNG file, in
// one of its main states:
//
//   velmora-screenshot [STATE] OUTPUT.png
//
// The panel is driven through its own controls, as the operator would, so
// each picture shows what the handlers made of the camera's answers.
// Message boxes are answered at once (a picture of the panel without a
// camera is taken after its message was dismissed).
#include "BusIdentity.h"
#include "RegularFile.h"
#include "VelmoraApp.h"
#include "VelmoraDlg.h"
#include "qt_access.h"
#include "resource.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The control that shows a picture is what it claims to be.
struct Proof {
	enum Kind { Enabled, Disabled, TextChanged };
	int id;
	Kind kind;
};

struct State {
	const char *name;
	const char *description;
	bool camera;             // false: the adapter finds no bus
	std::vector<int> clicks; // controls pressed in turn after the panel opened
	Proof proof;
};

const State kStates[] = {
	{ "auto",
	  "as the panel opens: automatic exposure and white balance",
	  true,
	  {},
	  { IDC_AEX_REF, Proof::Enabled } },
	{ "manual-exposure",
	  "\"Manual Exposure\" checked",
	  true,
	  { IDC_MANUAL_EXPOSURE },
	  { IDC_SHUTTER, Proof::Enabled } },
	{ "manual-wb",
	  "\"Auto WB mode\" unchecked, then \"Manual mode\"",
	  true,
	  { IDC_AUTO_WB, IDC_MANUAL_MODE },
	  { IDC_RED_GREEN, Proof::Enabled } },
	{ "trim",
	  "image trim after one move \"left\"",
	  true,
	  { IDC_TRIM_LEFT },
	  { IDC_TRIM_HORIZONTAL, Proof::TextChanged } },
	{ "no-camera",
	  "no camera: the read-back failed, its messages dismissed",
	  false,
	  {},
	  { IDC_MANUAL_EXPOSURE, Proof::Disabled } },
};

const State *findState(const char *name)
{
	for (const State &state : kStates)
		if (std::strcmp(state.name, name) == 0)
			return &state;
	return nullptr;
}

void usage(const char *program)
{
	std::fprintf(stderr, "usage: %s [STATE] OUTPUT.png\nSTATE (default auto):\n", program);
	for (const State &state : kStates)
		std::fprintf(stderr, "  %-16s %s\n", state.name, state.description);
}

bool press(const CVelmoraDlg &dlg, int id)
{
	auto *button = qobject_cast<QAbstractButton *>(toolkit::ControlWidget(dlg, id));
	if (!button || !button->isEnabled()) {
		std::fprintf(stderr, "control %d cannot be pressed\n", id);
		return false;
	}
	button->click();
	QApplication::processEvents();
	return true;
}

QString textOf(const CVelmoraDlg &dlg, int id)
{
	auto *edit = qobject_cast<QLineEdit *>(toolkit::ControlWidget(dlg, id));
	return edit ? edit->text() : QString();
}

bool proven(const CVelmoraDlg &dlg, const Proof &proof, const QString &textBefore)
{
	QWidget *control = toolkit::ControlWidget(dlg, proof.id);
	if (!control)
		return false;
	switch (proof.kind) {
	case Proof::Enabled:
		return control->isEnabled();
	case Proof::Disabled:
		return !control->isEnabled();
	case Proof::TextChanged:
		return textOf(dlg, proof.id) != textBefore;
	}
	return false;
}

} // namespace

int main(int argc, char **argv)
{
	if (argc < 2 || argc > 3) {
		usage(argv[0]);
		return 2;
	}
	const State *state = findState(argc == 3 ? argv[1] : "auto");
	if (!state) {
		usage(argv[0]);
		return 2;
	}
	const char *output = argv[argc - 1];
	// Before the first transfer: the adapter names its bus once per open.
	if (!state->camera)
		iicbus::SelectBus("none");

	QApplication application(argc, argv);
	CVelmoraApp app;
	// The box is accepted once its own loop runs, as an operator's OK.
	toolkit::SetMessageBoxObserver(
		[](QMessageBox &box) { QTimer::singleShot(0, &box, &QMessageBox::accept); });
	CVelmoraDlg dlg;
	dlg.Create();
	QDialog *window = toolkit::DialogWidget(dlg);
	window->show();
	QApplication::processEvents();
	const QString textBefore = textOf(dlg, state->proof.id);
	for (int id : state->clicks)
		if (!press(dlg, id))
			return 1;
	if (!proven(dlg, state->proof, textBefore)) {
		std::fprintf(stderr, "the panel did not reach the state %s\n", state->name);
		return 1;
	}
	// Encoded in memory, then written the one way every file is.
	QByteArray png;
	QBuffer buffer(&png);
	buffer.open(QIODevice::WriteOnly);
	if (!window->grab().save(&buffer, "PNG")) {
		std::fprintf(stderr, "cannot make the picture into a PNG\n");
		return 1;
	}
	if (std::string why = fileio::ReplaceRegularFile(
		    output, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
	    !why.empty()) {
		std::fprintf(stderr, "%s was not written: %s\n", output, why.c_str());
		return 1;
	}
	return 0;
}
