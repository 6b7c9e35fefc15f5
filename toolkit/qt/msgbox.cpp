#include "../msgbox.h"

#include "../qt_access.h"
#include "../winapp.h"
#include "../wnd.h"
#include "controls.h"
#include "interaction.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QShowEvent>
#include <QWindow>

namespace {
std::function<void(QMessageBox &)> g_observer;

// Qt places a box over its parent as it was before the box took its final
// size, and over a parent not yet shown (the messages of start-up) at the
// screen's corner. Once sized, the box goes to the middle of the panel,
// or of the screen while the panel is not shown.
class CentredMessageBox : public QMessageBox
{
public:
	using QMessageBox::QMessageBox;

protected:
	void showEvent(QShowEvent *event) override
	{
		QMessageBox::showEvent(event);
		QWidget *over = nullptr;
		if (AfxGetApp() && AfxGetApp()->m_pMainWnd)
			over = AfxGetApp()->m_pMainWnd->GetSafeHwnd();
		if (over)
			over = over->window();
		if (!over || !over->isVisible())
			over = parentWidget() && parentWidget()->isVisible() ? parentWidget()->window()
									     : nullptr;
		const QRect screen = toolkit::detail::AvailableScreenArea(*this);
		const QRect area = over ? over->frameGeometry() : screen;
		if (area.isEmpty())
			return;
		// Not framed yet: the title bar it will get is counted in, and on
		// X11 the frame's corner is set as the panel's own is (dialog_host).
		const QMargins margins = toolkit::detail::WindowFrameMargins(*this);
		QRect frame = geometry().marginsAdded(margins);
		frame.moveCenter(area.center());
		const QPoint corner = toolkit::PlaceFrame(screen, frame);
		move(corner + QPoint(margins.left(), margins.top()));
		if (windowHandle() && QGuiApplication::platformName() != QLatin1String("offscreen"))
			windowHandle()->setFramePosition(corner);
	}
};
} // namespace

namespace toolkit::detail {

QString KeepPathsWhole(const QString &text)
{
	// Line breaking may break after a slash ("/dev/" then "i2c-1"); a word
	// joiner after each slash inside a word keeps a path on one line.
	QString shown;
	shown.reserve(text.size() + text.count(QLatin1Char('/')));
	for (qsizetype i = 0; i < text.size(); ++i) {
		shown.append(text[i]);
		if (text[i] == QLatin1Char('/') && i + 1 < text.size() && !text[i + 1].isSpace())
			shown.append(QChar(0x2060));
	}
	return shown;
}

} // namespace toolkit::detail

namespace toolkit {

void SetMessageBoxObserver(std::function<void(QMessageBox &)> observer)
{
	g_observer = std::move(observer);
}

QString ApplicationTitle()
{
	if (CWinApp *app = AfxGetApp())
		return QString::fromUtf8(app->m_pszAppName);
	return QCoreApplication::applicationName();
}

} // namespace toolkit

int AfxMessageBox(const char *text, UINT type, UINT)
{
	const bool question = (type & 0x000F) == MB_YESNOCANCEL;
	toolkit::detail::EndPointerInteraction();

	QWidget *parent = QApplication::activeModalWidget();
	if (!parent && AfxGetApp() && AfxGetApp()->m_pMainWnd)
		parent = AfxGetApp()->m_pMainWnd->GetSafeHwnd();

	CentredMessageBox box(parent);
	box.setWindowTitle(toolkit::ApplicationTitle());
	box.setText(QString::fromUtf8(text ? text : ""));
	// An OK-only box carries the exclamation mark, as the operators know it.
	box.setIcon(question ? QMessageBox::Question : QMessageBox::Warning);
	if (question) {
		box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
		box.setDefaultButton(QMessageBox::Yes);
		box.setEscapeButton(QMessageBox::Cancel);
	} else {
		box.setStandardButtons(QMessageBox::Ok);
	}
	box.setWindowModality(Qt::ApplicationModal);
	// A message inside a busy operation waits for the operator: it shows
	// the arrow, and the busy cursor returns when it closes.
	bool busy = QApplication::overrideCursor() != nullptr;
	if (busy)
		QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
	if (g_observer)
		g_observer(box);
	if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
		label->setText(toolkit::detail::KeepPathsWhole(label->text()));
	{
		toolkit::detail::ModalReturn back;
		box.exec();
	}
	if (busy)
		QApplication::restoreOverrideCursor();
	if (!question)
		return IDOK;
	const QMessageBox::StandardButton answer = box.standardButton(box.clickedButton());
	return answer == QMessageBox::Yes ? IDYES : answer == QMessageBox::No ? IDNO : IDCANCEL;
}
