// The picture window: the live picture scaled with its aspect kept, the
// luminance histogram, the mean levels, the frame size and the measured
// frame rate. Frames come from a source on a thread of the window's own,
// so the panel's handlers, their transfers and their pauses are not
// touched; the window shows the newest frame whenever the panel's thread
// is free to paint. It is a window of the panel's: it closes with it.
#include "PictureWindow.h"
#include "PictureWindowAccess.h"

#include "BusIdentity.h"
#include "qt_access.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr int kGap = 8; // pixels between the panel and the window

std::string g_source;
int g_simCamera = -1;
bool g_openAtStart = false;
PictureSourceFactory g_factory;

// The adapter's /dev/i2c-N as the panel's bus names it ("CP2112 ... (/dev/i2c-3)").
std::string AdapterNode()
{
	const std::string bus = iicbus::LastBus().bus;
	const auto open = bus.rfind("(/dev/");
	const auto close = bus.rfind(')');
	if (open == std::string::npos || close == std::string::npos || close < open)
		return {};
	return bus.substr(open + 1, close - open - 1);
}

std::unique_ptr<video::FrameSource> OpenFrameSource(const std::string &source, std::string &why)
{
	if (g_factory)
		return g_factory(source, why);
	return video::OpenSource(source, AdapterNode(), why, g_simCamera);
}

class PictureView final : public QWidget
{
public:
	explicit PictureView(QWidget *parent) : QWidget(parent)
	{
		setFocusPolicy(Qt::StrongFocus);
		setAccessibleName(QStringLiteral("Picture"));
		setAccessibleDescription(QStringLiteral("no signal"));
		setMinimumSize(240, 192);
	}
	QSize sizeHint() const override { return { 480, 384 }; }

	void show(const QImage &image)
	{
		const QString text =
			image.isNull()
				? QStringLiteral("no signal")
				: QStringLiteral("%1 x %2 picture").arg(image.width()).arg(image.height());
		if (text != accessibleDescription())
			setAccessibleDescription(text);
		image_ = image;
		update();
	}

protected:
	void paintEvent(QPaintEvent *) override
	{
		QPainter p(this);
		p.fillRect(rect(), Qt::black);
		if (image_.isNull()) {
			p.setPen(Qt::white);
			p.drawText(rect(), Qt::AlignCenter, QStringLiteral("no signal"));
		} else {
			QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatio);
			QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2),
				     size);
			p.setRenderHint(QPainter::SmoothPixmapTransform, false);
			p.drawImage(target, image_);
		}
		if (hasFocus()) {
			p.setPen(QPen(palette().highlight().color(), 2));
			p.drawRect(rect().adjusted(1, 1, -1, -1));
		}
	}

private:
	QImage image_;
};

class HistogramView final : public QWidget
{
public:
	explicit HistogramView(QWidget *parent) : QWidget(parent)
	{
		setFocusPolicy(Qt::StrongFocus);
		setAccessibleName(QStringLiteral("Luminance histogram"));
		setMinimumSize(256, 64);
	}
	QSize sizeHint() const override { return { 256, 80 }; }

	void show(const std::array<std::uint32_t, 256> &histogram, bool signal)
	{
		histogram_ = histogram;
		signal_ = signal;
		update();
	}

protected:
	void paintEvent(QPaintEvent *) override
	{
		QPainter p(this);
		p.fillRect(rect(), palette().base());
		std::uint32_t peak = 1;
		for (std::uint32_t n : histogram_)
			peak = std::max(peak, n);
		if (signal_) {
			p.setPen(palette().text().color());
			for (int i = 0; i < 256; i++) {
				const int x = i * width() / 256;
				const int h = static_cast<int>(
					static_cast<double>(histogram_[static_cast<std::size_t>(i)]) / peak *
					(height() - 2));
				p.drawLine(x, height() - 1, x, height() - 1 - h);
			}
		}
		if (hasFocus()) {
			p.setPen(QPen(palette().highlight().color(), 2));
			p.drawRect(rect().adjusted(1, 1, -1, -1));
		}
	}

private:
	std::array<std::uint32_t, 256> histogram_{};
	bool signal_ = false;
};

class PictureWindow final : public QWidget
{
public:
	PictureWindow(QWidget *panel, std::unique_ptr<video::FrameSource> source, const std::string &why)
		: QWidget(panel, Qt::Window), source_(std::move(source)), sourceText_(why)
	{
		setObjectName(QStringLiteral("picture"));
		setAttribute(Qt::WA_DeleteOnClose);
		const QString name = QString::fromStdString(source_ ? source_->name() : "no capture device");
		setWindowTitle(QStringLiteral("Velmora picture - %1").arg(name));
		setAccessibleName(windowTitle());

		view_ = new PictureView(this);
		histogram_ = new HistogramView(this);
		levels_ = new QLabel(QStringLiteral("no signal"), this);
		levels_->setObjectName(QStringLiteral("levels"));
		levels_->setAccessibleName(QStringLiteral("Levels"));
		levels_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
		levels_->setFocusPolicy(Qt::StrongFocus);
		levels_->setWordWrap(true);
		notice_ = new QLabel(QString::fromStdString(why), this);
		notice_->setObjectName(QStringLiteral("notice"));
		notice_->setAccessibleName(QStringLiteral("Source"));
		notice_->setWordWrap(true);
		auto *close = new QPushButton(QStringLiteral("Close"), this);
		connect(close, &QPushButton::clicked, this, &QWidget::close);

		auto *layout = new QVBoxLayout(this);
		layout->addWidget(view_, 1);
		layout->addWidget(histogram_);
		layout->addWidget(levels_);
		layout->addWidget(notice_);
		auto *buttons = new QHBoxLayout;
		buttons->addStretch();
		buttons->addWidget(close);
		layout->addLayout(buttons);

		if (source_)
			thread_ = std::thread([this] { run(); });
	}

	~PictureWindow() override
	{
		stopping_ = true;
		if (source_)
			source_->stop();
		if (thread_.joinable())
			thread_.join();
	}

protected:
	void keyPressEvent(QKeyEvent *event) override
	{
		if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
			close();
		else
			QWidget::keyPressEvent(event);
	}

private:
	// The source's thread: frames and what to say go to the window's
	// thread, the newest only while it is busy.
	void run()
	{
		std::deque<std::chrono::steady_clock::time_point> arrivals;
		// A notice that came with the signal's loss goes once frames flow
		// again, so that the window never says "no signal" over a picture.
		bool silenceSaid = false;
		while (!stopping_) {
			video::Frame frame;
			const bool signal = source_->next(frame);
			const std::string notice = source_->takeNotice();
			double fps = 0;
			if (signal) {
				arrivals.push_back(std::chrono::steady_clock::now());
				if (arrivals.size() > 26)
					arrivals.pop_front();
				const std::chrono::duration<double> span = arrivals.back() - arrivals.front();
				if (arrivals.size() > 1 && span.count() > 0)
					fps = static_cast<double>(arrivals.size() - 1) / span.count();
			} else {
				arrivals.clear();
			}
			{
				std::lock_guard lock(mutex_);
				signal_ = signal;
				if (signal) {
					levels_data_ = video::Measure(frame);
					frame_ = std::move(frame);
					fps_ = fps;
				}
				if (!notice.empty()) {
					noticeText_ = notice;
					noticeChanged_ = true;
					silenceSaid = !signal;
				} else if (signal && silenceSaid) {
					noticeText_ = sourceText_;
					noticeChanged_ = true;
					silenceSaid = false;
				}
				if (posted_)
					continue;
				posted_ = true;
			}
			QMetaObject::invokeMethod(
				this, [this] { present(); }, Qt::QueuedConnection);
		}
	}

	void present()
	{
		QImage image;
		video::Levels levels;
		bool signal;
		double fps;
		std::int64_t number = 0;
		std::string notice;
		bool noticeChanged;
		{
			std::lock_guard lock(mutex_);
			posted_ = false;
			signal = signal_;
			if (signal) {
				image = QImage(frame_.rgb.data(), frame_.width, frame_.height,
					       frame_.width * 3, QImage::Format_RGB888)
						.copy();
				levels = levels_data_;
				number = frame_.number;
			}
			fps = fps_;
			noticeChanged = std::exchange(noticeChanged_, false);
			notice = std::exchange(noticeText_, std::string());
		}
		view_->show(image);
		histogram_->show(levels.histogram, signal);
		if (signal)
			levels_->setText(QStringLiteral("%1 x %2, %3 frames/s, mean R %4 G %5 B %6, frame %7")
						 .arg(image.width())
						 .arg(image.height())
						 .arg(fps, 0, 'f', 1)
						 .arg(levels.red, 0, 'f', 1)
						 .arg(levels.green, 0, 'f', 1)
						 .arg(levels.blue, 0, 'f', 1)
						 .arg(number));
		else
			levels_->setText(QStringLiteral("no signal"));
		if (noticeChanged)
			notice_->setText(QString::fromStdString(notice));
	}

	std::unique_ptr<video::FrameSource> source_;
	PictureView *view_;
	HistogramView *histogram_;
	QLabel *levels_;
	QLabel *notice_;
	std::thread thread_;
	std::atomic<bool> stopping_{ false };

	std::mutex mutex_;
	video::Frame frame_;
	video::Levels levels_data_;
	bool signal_ = false;
	double fps_ = 0;
	std::string noticeText_;
	bool noticeChanged_ = false;
	const std::string sourceText_; // what the window says of its source at first
	bool posted_ = false;
};

QPointer<PictureWindow> g_window;

// Right of the panel, or left of it where there is more room, narrower
// when the screen has less room than the window would take.
void PlaceBeside(QWidget &window, const QWidget &owner)
{
	const QRect panel = owner.frameGeometry();
	const QScreen *screen = owner.screen();
	QSize size = window.sizeHint();
	if (!screen) {
		window.move(panel.topRight() + QPoint(kGap, 0));
		return;
	}
	const QRect area = screen->availableGeometry();
	const int right = area.right() - panel.right() - kGap;
	const int left = panel.left() - area.left() - kGap;
	const int room = std::max(right, left);
	size.setWidth(std::max(std::min(size.width(), room), window.minimumSizeHint().width()));
	window.resize(size);
	QRect frame(QPoint(), size);
	if (right >= left)
		frame.moveTopLeft(panel.topRight() + QPoint(kGap, 0));
	else
		frame.moveTopRight(panel.topLeft() - QPoint(kGap, 0));
	window.move(toolkit::PlaceFrame(area, frame));
}

} // namespace

void SetPictureSource(const std::string &source, bool openAtStart, int simCamera)
{
	g_source = source;
	g_simCamera = simCamera;
	g_openAtStart = openAtStart;
}

bool PictureOpensAtStart()
{
	return g_openAtStart;
}

void ShowPictureWindow(CDialog &panel)
{
	if (!g_window) {
		QDialog *dialog = toolkit::DialogWidget(panel);
		std::string why;
		std::unique_ptr<video::FrameSource> source = OpenFrameSource(g_source, why);
		g_window = new PictureWindow(dialog, std::move(source), why);
	}
	// Opened as the panel starts, the window waits for the panel to be
	// shown, so that it goes beside it.
	QTimer::singleShot(0, g_window.data(), [] {
		if (!g_window)
			return;
		if (QWidget *owner = g_window->parentWidget(); owner && !g_window->isVisible())
			PlaceBeside(*g_window, *owner);
		g_window->show();
		g_window->raise();
		g_window->activateWindow();
	});
}

void SetPictureSourceFactory(PictureSourceFactory factory)
{
	g_factory = std::move(factory);
}

QWidget *PictureWindowWidget()
{
	return g_window.data();
}
