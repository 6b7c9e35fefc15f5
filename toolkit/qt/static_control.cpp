// Group boxes, labels and pictures: they show the template and take no
// input.
#include "controls.h"

#include "dialog_host.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRegion>

namespace toolkit::detail {

namespace {

QWidget *createGroupBox(DialogHost &host, const QString &caption)
{
	auto *group = new QGroupBox(caption, &host);
	// The caption sits on the frame line, as in the template's layout.
	group->setStyleSheet(QStringLiteral(
		"QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.6em; }"
		"QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
		" left: 6px; padding: 0 2px; }"));
	return group;
}

QWidget *createPicture(DialogHost &host, const ControlTemplate &row)
{
	auto *picture = new QLabel(&host);
	const ImageResource *image = row.kind == ControlKind::Bitmap ? AfxFindBitmap(row.resource)
								     : AfxFindIcon(row.resource);
	if (image)
		picture->setPixmap(QPixmap(QString::fromUtf8(image->path)));
	picture->setScaledContents(true);
	return picture;
}

// Where a group box draws its frame: from the middle of its caption down.
QRect frameRect(const QWidget *group)
{
	return group->geometry().adjusted(0, QFontMetrics(group->font()).height() / 2, 0, 0);
}

} // namespace

QWidget *CreateStatic(DialogHost &host, ControlState &ctl)
{
	const QString caption = QString::fromUtf8(ctl.tmpl.caption ? ctl.tmpl.caption : "");
	switch (ctl.kind()) {
	case ControlKind::GroupBox:
		return createGroupBox(host, caption);
	case ControlKind::Label: {
		auto *label = new QLabel(caption, &host);
		label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
		return label;
	}
	default:
		return createPicture(host, ctl.tmpl);
	}
}

void KeepGroupFramesApart(DialogHost &host)
{
	// The template lets "Image trim" reach a few units into "General";
	// its frame ends at General's line instead of crossing it. Only the
	// smaller frame gives way: cutting the larger too would take its own
	// line away where the two meet, and leave the smaller one open there.
	// Frames that only meet, or that nest, are left as they are.
	auto area = [](const QRect &r) { return static_cast<long>(r.width()) * r.height(); };
	for (const auto &mine : host.controls()) {
		if (mine->kind() != ControlKind::GroupBox)
			continue;
		const QRect own = mine->widget->geometry();
		QRegion visible(mine->widget->rect());
		for (const auto &other : host.controls()) {
			if (other == mine || other->kind() != ControlKind::GroupBox)
				continue;
			const QRect theirs = other->widget->geometry();
			if (theirs.contains(own) || own.contains(theirs) || area(theirs) <= area(own))
				continue;
			QRect crossed = frameRect(other->widget) & own;
			if (!crossed.isEmpty())
				visible -= QRegion(crossed.translated(-own.topLeft()));
		}
		if (visible != QRegion(mine->widget->rect()))
			mine->widget->setMask(visible);
	}
}

} // namespace toolkit::detail
