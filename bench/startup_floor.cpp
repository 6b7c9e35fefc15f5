// Start-up probe of the floor: the control panel's template 102 built with
// plain Qt widgets and nothing else (no dialog toolkit, no message table,
// no camera), in the same font and at the same places, ended at its first
// paint. No Qt program that shows these controls can start faster.
#include "first_paint.h"
#include "resource.h"
#include "velmora_resources.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

const DialogTemplate &panelTemplate()
{
	for (const DialogTemplate &tmpl : VelmoraResources().dialogs)
		if (tmpl.id == IDD_VELMORA_DIALOG)
			return tmpl;
	std::abort();
}

const ImageResource *bitmap(UINT id)
{
	for (const ImageResource &image : VelmoraResources().bitmaps)
		if (image.id == id)
			return &image;
	return nullptr;
}

QWidget *createWidget(const ControlTemplate &row, QDialog &dialog)
{
	const QString caption = QString::fromUtf8(row.caption ? row.caption : "");
	switch (row.kind) {
	case ControlKind::GroupBox:
		return new QGroupBox(caption, &dialog);
	case ControlKind::CheckBox:
		return new QCheckBox(caption, &dialog);
	case ControlKind::RadioButton:
		return new QRadioButton(caption, &dialog);
	case ControlKind::PushButton:
	case ControlKind::DefPushButton: {
		auto *button = new QPushButton(caption, &dialog);
		button->setDefault(row.kind == ControlKind::DefPushButton);
		return button;
	}
	case ControlKind::Edit: {
		auto *edit = new QLineEdit(&dialog);
		edit->setReadOnly(row.style & CS_READONLY);
		if (row.style & CS_CENTER)
			edit->setAlignment(Qt::AlignCenter);
		return edit;
	}
	case ControlKind::Label:
		return new QLabel(caption, &dialog);
	case ControlKind::HScrollBar:
		return new QScrollBar(Qt::Horizontal, &dialog);
	case ControlKind::ProgressBar: {
		auto *bar = new QProgressBar(&dialog);
		bar->setTextVisible(false);
		return bar;
	}
	case ControlKind::Bitmap:
	case ControlKind::Icon: {
		auto *picture = new QLabel(&dialog);
		if (const ImageResource *image = bitmap(row.resource))
			picture->setPixmap(QPixmap(QString::fromUtf8(image->path)));
		picture->setScaledContents(true);
		return picture;
	}
	}
	return nullptr;
}

int mulDiv(int value, int numerator, int denominator)
{
	return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

} // namespace

int main(int argc, char **argv)
{
	QApplication application(argc, argv);
	const DialogTemplate &tmpl = panelTemplate();

	QDialog dialog;
	dialog.setWindowTitle(QString::fromUtf8(tmpl.caption));
	QFont font;
	font.setFamilies({ QStringLiteral("Inter"), QStringLiteral("DejaVu Sans") });
	font.setPointSize(tmpl.pointSize);
	font.setStyleStrategy(QFont::PreferNoShaping);
	dialog.setFont(font);

	// Dialog units from the font's average letter and height, as the panel
	// takes them.
	QFontMetrics metrics(font);
	int alphabet = metrics.horizontalAdvance(
		QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
	const int baseX = std::max(1, (alphabet / 26 + 1) / 2);
	const int baseY = std::max(1, metrics.height());
	auto toPixels = [&](int x, int y, int cx, int cy) {
		return QRect(QPoint(mulDiv(x, baseX, 4), mulDiv(y, baseY, 8)),
			     QPoint(mulDiv(x + cx, baseX, 4) - 1, mulDiv(y + cy, baseY, 8) - 1));
	};

	for (const ControlTemplate &row : tmpl.controls) {
		QWidget *widget = createWidget(row, dialog);
		widget->setGeometry(toPixels(row.x, row.y, row.cx, row.cy));
		if (row.style & CS_HIDDEN)
			widget->setHidden(true);
		if (row.tooltip)
			widget->setToolTip(QString::fromUtf8(row.tooltip));
		if (row.id >= 0)
			widget->setObjectName(QString::number(row.id));
	}
	dialog.setFixedSize(toPixels(0, 0, tmpl.cx, tmpl.cy).size());

	bench::EndAtFirstPaint();
	return dialog.exec();
}
