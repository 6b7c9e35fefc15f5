// Group boxes, labels and pictures: they show the template and take no
// input.
#include "controls.h"

#include "dialog_host.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QStyle>

namespace toolkit::detail {

namespace {

// Where a group box draws its frame: from the middle of its caption down.
QRect frameRect(const QWidget *group)
{
	return group->geometry().adjusted(0, QFontMetrics(group->font()).height() / 2 + 1, 0, 0);
}

// Draws a group box's frame with its caption on the frame line, as in the
// template's layout. One painter serves every group box: a style sheet per
// box would give each its own style object and parsed sheet, a third of a
// megabyte before the first paint.
class GroupFramePainter : public QObject
{
public:
	bool eventFilter(QObject *watched, QEvent *event) override
	{
		if (event->type() != QEvent::Paint)
			return false;
		auto *group = static_cast<QGroupBox *>(watched);
		paint(*group);
		return true;
	}

private:
	static void paint(QGroupBox &group)
	{
		const QFontMetrics metrics(group.font());
		const QString caption = group.title();
		QPainter painter(&group);
		QRect title;
		if (!caption.isEmpty()) {
			title = QRect(kTitleLeft, 0,
				      metrics.horizontalAdvance(QString(caption).remove(QLatin1Char('&'))) +
					      2 * kTitlePadding + 1,
				      metrics.height());
			QRegion outside(group.rect());
			painter.setClipRegion(outside - title);
		}
		painter.setRenderHint(QPainter::Antialiasing);
		painter.setPen(QPen(group.palette().color(QPalette::Mid), 1));
		painter.setBrush(Qt::NoBrush);
		const QRectF frame =
			QRectF(frameRect(&group).translated(-group.pos())).adjusted(0.5, 0.5, -0.5, -0.5);
		painter.drawRoundedRect(frame, kRadius, kRadius);
		if (caption.isEmpty())
			return;
		painter.setClipping(false);
		group.style()->drawItemText(&painter, title.adjusted(kTitlePadding, -1, 0, -1),
					    Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic,
					    group.palette(), group.isEnabled(), caption,
					    QPalette::WindowText);
	}

	static constexpr int kTitleLeft = 6;
	static constexpr int kTitlePadding = 4;
	static constexpr qreal kRadius = 2;
};

QWidget *createGroupBox(DialogHost &host, const QString &caption)
{
	static GroupFramePainter painter;
	auto *group = new QGroupBox(caption, &host);
	group->installEventFilter(&painter);
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
