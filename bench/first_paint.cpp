#include "first_paint.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace bench {

namespace {

class FirstPaint : public QObject
{
public:
	bool eventFilter(QObject *watched, QEvent *event) override
	{
		auto *dialog = qobject_cast<QDialog *>(watched);
		if (m_seen || !dialog || event->type() != QEvent::Paint)
			return false;
		m_seen = true;
		// The moment is taken once the whole window has been painted and
		// flushed, which happens before queued calls run.
		QTimer::singleShot(0, dialog, [dialog] {
			timespec now;
			clock_gettime(CLOCK_MONOTONIC, &now);
			std::printf("%lld\n",
				    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
			std::fflush(stdout);
			dialog->reject();
		});
		return false;
	}

private:
	bool m_seen = false;
};

} // namespace

void EndAtFirstPaint()
{
	qApp->installEventFilter(new FirstPaint);
}

} // namespace bench
