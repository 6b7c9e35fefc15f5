// The dialog font. Templates name the face of their original platform,
// which this system does not have; a face with the same proportions of
// caption to average letter stands in, so that every caption stays whole
// in the rectangle the template gives it.
#include "controls.h"

#include "../resources.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <cstring>

namespace toolkit::detail {

namespace {

struct Substitute {
	const char *face;
	const char *family;
};

const Substitute kSubstitutes[] = {
	{ "MS Sans Serif", "Inter" },
};

} // namespace

QFont DialogFont(const DialogTemplate &tmpl)
{
	QStringList families;
	for (const Substitute &s : kSubstitutes)
		if (tmpl.fontFace && std::strcmp(s.face, tmpl.fontFace) == 0)
			families << QString::fromUtf8(s.family);
	families << QString::fromUtf8(tmpl.fontFace ? tmpl.fontFace : "") << QStringLiteral("DejaVu Sans")
		 << QStringLiteral("Sans Serif");
	QFont font;
	font.setFamilies(families);
	font.setPointSize(tmpl.pointSize);
	// Captions show their characters as written: a face's contextual
	// forms would draw "-->" as an arrow.
	font.setStyleStrategy(QFont::PreferNoShaping);
	return font;
}

} // namespace toolkit::detail
