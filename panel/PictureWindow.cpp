// The picture window: the live picture fitted to the window (or at one
// pixel per pixel), the luminance histogram on its axis, the mean levels,
// the frame size and standard and the measured frame rate. The user
// chooses its device in the window; frames come from it on a thread of
// the window's own, so the panel's handlers, their transfers and their
// pauses are not touched; the window shows the newest frame whenever the
// panel's thread is free to paint. It is a window of the panel's: it
// closes with it.
#include "PictureWindow.h"
#include "PictureWindowAccess.h"

#include "BusIdentity.h"
#include "FindCaptureDevice.h"
#include "FrameCheck.h"
#include "FrameSource.h"
#include "Png.h"
#include "dialog.h"
#include "filedlg.h"
#include "msgbox.h"
#include "qt_access.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr int kGap = 8; // pixels between the panel and the window

constexpr char kSimulated[] = "sim";

// Where the window's size, place and scale outlast the program.
QSettings Settings()
{
	return QSettings(QStringLiteral("velmora"), QStringLiteral("velmora"));
}
const QString kGeometryKey = QStringLiteral("picture/geometry");
const QString kActualSizeKey = QStringLiteral("picture/actual-size");

// The bus of the adapter found, when no bus was named: the one on which
// the camera answers, as the adapter library chooses it.
std::string AnsweringAdapter()
{
	std::string node;
	int answering = 0;
	for (const iicbus::BusListing &bus : iicbus::ScanBuses())
		if (bus.allowed && bus.camera == iicbus::CameraSeen::Answers) {
			node = bus.node;
			answering++;
		}
	return answering == 1 ? node : "";
}

std::unique_ptr<video::FrameSource> OpenDevice(const PictureSource &source, const std::string &device,
					       std::string &why)
{
	if (source.open)
		return source.open(device, why);
	std::string node = source.adapterNode;
	if (device.empty() && node.empty() && source.simCamera < 0)
		node = AnsweringAdapter();
	auto opened = video::OpenSource(device, node, why, source.simCamera);
	// The device search speaks to the command line; here the choice is
	// the box above the picture.
	if (const auto at = why.find("; name one with --video"); at != std::string::npos)
		why = why.substr(0, at) + "; choose one above";
	return opened;
}

// Spaces inside a field that a line must not break: "B 111.0" stays whole.
QString Whole(QString field)
{
	return field.replace(QLatin1Char(' '), QChar(0x00A0));
}

class PictureView final : public QWidget
{
public:
	explicit PictureView(QWidget *parent) : QWidget(parent) { setMinimumSize(240, 192); }
	QSize sizeHint() const override { return { 480, 384 }; }

	void show(const QImage &image)
	{
		const bool resized = image.size() != image_.size();
		image_ = image;
		fitted_ = QImage();
		if (resized && !fit_ && !image_.isNull())
			resize(image_.size());
		update();
	}
	void setFit(bool fit)
	{
		fit_ = fit;
		fitted_ = QImage();
		if (!fit_ && !image_.isNull())
			resize(image_.size());
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
			return;
		}
		if (!fit_) {
			p.drawImage(QPoint((width() - image_.width()) / 2, (height() - image_.height()) / 2),
				    image_);
			return;
		}
		if (fitted_.isNull() || fittedFor_ != size()) {
			fitted_ = FitPicture(image_, size());
			fittedFor_ = size();
		}
		p.drawImage(QPoint((width() - fitted_.width()) / 2, (height() - fitted_.height()) / 2),
			    fitted_);
	}

private:
	QImage image_;
	QImage fitted_; // image_ scaled for the size it was made for
	QSize fittedFor_;
	bool fit_ = true;
};

class HistogramView final : public QWidget
{
public:
	explicit HistogramView(QWidget *parent) : QWidget(parent)
	{
		setFocusPolicy(Qt::StrongFocus);
		setAccessibleName(QStringLiteral("Luminance histogram"));
		setMinimumSize(256, 64 + axisHeight());
	}
	QSize sizeHint() const override { return { 256, 80 + axisHeight() }; }

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
		const int margin = fontMetrics().horizontalAdvance(QStringLiteral("255")) / 2 + 2;
		const int left = margin, plotWidth = std::max(1, width() - 2 * margin);
		const int base = height() - axisHeight(); // the axis line
		auto xOf = [&](int level) { return left + level * (plotWidth - 1) / 255; };
		std::uint32_t peak = 1;
		for (std::uint32_t n : histogram_)
			peak = std::max(peak, n);
		p.setPen(palette().text().color());
		if (signal_) {
			for (int i = 0; i < 256; i++) {
				const int h = static_cast<int>(
					static_cast<double>(histogram_[static_cast<std::size_t>(i)]) / peak *
					(base - 2));
				p.drawLine(xOf(i), base - 1, xOf(i), base - 1 - h);
			}
		}
		// The luminance axis, black to white, with its levels.
		p.drawLine(left, base, left + plotWidth - 1, base);
		for (int level : { 0, 64, 128, 192, 255 }) {
			const int x = xOf(level);
			p.drawLine(x, base, x, base + 3);
			const QString label = QString::number(level);
			const int w = fontMetrics().horizontalAdvance(label);
			p.drawText(QRect(x - w / 2 - 1, base + 4, w + 2, fontMetrics().height()),
				   Qt::AlignCenter, label);
		}
		if (hasFocus()) {
			p.setPen(QPen(palette().highlight().color(), 2));
			p.drawRect(rect().adjusted(1, 1, -1, -1));
		}
	}

private:
	int axisHeight() const { return fontMetrics().height() + 6; }

	std::array<std::uint32_t, 256> histogram_{};
	bool signal_ = false;
};

// The devices to choose from, found afresh each time the list opens:
// one plugged in while the window is open is there.
class SourceBox final : public QComboBox
{
public:
	SourceBox(QWidget *parent, const PictureSource &source) : QComboBox(parent), source_(source)
	{
		setObjectName(QStringLiteral("source"));
		setAccessibleName(QStringLiteral("Source"));
		setSizeAdjustPolicy(QComboBox::AdjustToContents);
	}
	void refresh(const std::string &current)
	{
		clear();
		if (source_.simCamera < 0)
			addItem(QStringLiteral("capture device on the adapter's USB device"), QString());
		addItem(QStringLiteral("simulated picture"), QString::fromLatin1(kSimulated));
		for (const video::CaptureNode &node : video::ListCaptureDevices())
			addItem(QString::fromStdString(
					node.name.empty() ? node.path : node.path + " (" + node.name + ")"),
				QString::fromStdString(node.path));
		int at = findData(QString::fromStdString(current));
		if (at < 0) {
			addItem(QString::fromStdString(current), QString::fromStdString(current));
			at = count() - 1;
		}
		setCurrentIndex(at);
	}
	std::string chosen() const { return currentData().toString().toStdString(); }

	void showPopup() override
	{
		refresh(chosen());
		QComboBox::showPopup();
	}

private:
	const PictureSource &source_;
};

class PictureWindow final : public QWidget
{
public:
	PictureWindow(QWidget *owner, CDialog &panel, PictureSource source)
		: QWidget(owner, Qt::Window), panel_(panel), source_(std::move(source))
	{
		setObjectName(QStringLiteral("picture"));
		setAttribute(Qt::WA_DeleteOnClose);

		sources_ = new SourceBox(this, source_);
		auto *sourceLabel = new QLabel(QStringLiteral("&Source:"), this);
		sourceLabel->setBuddy(sources_);
		fit_ = new QPushButton(QStringLiteral("&Fit"), this);
		fit_->setObjectName(QStringLiteral("fit"));
		actual_ = new QPushButton(QStringLiteral("&1:1"), this);
		actual_->setObjectName(QStringLiteral("actual"));
		actual_->setAccessibleName(QStringLiteral("1:1"));
		auto *scale = new QButtonGroup(this);
		for (QPushButton *b : { fit_, actual_ }) {
			b->setCheckable(true);
			scale->addButton(b);
		}

		view_ = new PictureView(this);
		scroll_ = new QScrollArea(this);
		scroll_->setObjectName(QStringLiteral("view"));
		scroll_->setAccessibleName(QStringLiteral("Picture"));
		scroll_->setAccessibleDescription(QStringLiteral("no signal"));
		scroll_->setAlignment(Qt::AlignCenter);
		scroll_->setFocusPolicy(Qt::StrongFocus);
		scroll_->setWidget(view_);
		histogram_ = new HistogramView(this);
		levels_ = new QLabel(QStringLiteral("no signal"), this);
		levels_->setObjectName(QStringLiteral("levels"));
		levels_->setAccessibleName(QStringLiteral("Levels"));
		levels_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
		levels_->setFocusPolicy(Qt::StrongFocus);
		levels_->setWordWrap(true);
		notice_ = new QLabel(this);
		notice_->setObjectName(QStringLiteral("notice"));
		notice_->setAccessibleName(QStringLiteral("Notice"));
		notice_->setWordWrap(true);
		save_ = new QPushButton(QStringLiteral("Save &picture..."), this);
		save_->setObjectName(QStringLiteral("save"));
		save_->setEnabled(false);
		auto *close = new QPushButton(QStringLiteral("Close"), this);

		auto *layout = new QVBoxLayout(this);
		auto *top = new QHBoxLayout;
		top->addWidget(sourceLabel);
		top->addWidget(sources_, 1);
		top->addWidget(fit_);
		top->addWidget(actual_);
		layout->addLayout(top);
		layout->addWidget(scroll_, 1);
		layout->addWidget(histogram_);
		layout->addWidget(levels_);
		layout->addWidget(notice_);
		auto *buttons = new QHBoxLayout;
		buttons->addWidget(save_);
		buttons->addStretch();
		buttons->addWidget(close);
		layout->addLayout(buttons);

		connect(close, &QPushButton::clicked, this, &QWidget::close);
		connect(save_, &QPushButton::clicked, this, [this] { savePicture(); });
		connect(fit_, &QPushButton::toggled, this, [this](bool on) { setFit(on); });
		connect(sources_, &QComboBox::activated, this, [this] {
			if (sources_->chosen() != device_)
				open(sources_->chosen());
		});

		(Settings().value(kActualSizeKey).toBool() ? actual_ : fit_)->setChecked(true);
		setFit(fit_->isChecked());
		open(source_.device);
	}

	~PictureWindow() override
	{
		// The panel's end deletes it without hiding it first.
		if (placed_)
			Settings().setValue(kGeometryKey, saveGeometry());
		stopSource();
	}

	// Where the user left it last time, else beside the panel.
	void place(const QWidget &owner)
	{
		placed_ = true;
		if (const QByteArray geometry = Settings().value(kGeometryKey).toByteArray();
		    !geometry.isEmpty() && restoreGeometry(geometry))
			return;
		const QScreen *screen = owner.screen();
		const QSize size = sizeHint().expandedTo(minimumSizeHint());
		if (!screen) {
			resize(size);
			move(owner.frameGeometry().topRight() + QPoint(kGap, 0));
			return;
		}
		const QRect frame = PictureFrameBeside(owner.frameGeometry(), screen->availableGeometry(),
						       size);
		resize(frame.size());
		move(frame.topLeft());
	}

protected:
	void keyPressEvent(QKeyEvent *event) override
	{
		if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
			close();
		else
			QWidget::keyPressEvent(event);
	}
	// Closed by the user or with the panel, it is hidden first.
	void hideEvent(QHideEvent *event) override
	{
		if (placed_)
			Settings().setValue(kGeometryKey, saveGeometry());
		QWidget::hideEvent(event);
	}

private:
	void setFit(bool fit)
	{
		// Fitted, the picture never needs scrolling: the area keeps the
		// picture's least size instead.
		const Qt::ScrollBarPolicy bars = fit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
		scroll_->setHorizontalScrollBarPolicy(bars);
		scroll_->setVerticalScrollBarPolicy(bars);
		const int frame = 2 * scroll_->frameWidth();
		scroll_->setMinimumSize(fit ? view_->minimumSize() + QSize(frame, frame) : QSize(0, 0));
		scroll_->setWidgetResizable(fit);
		view_->setFit(fit);
		Settings().setValue(kActualSizeKey, !fit);
	}

	void stopSource()
	{
		stopping_ = true;
		if (frames_)
			frames_->stop();
		if (thread_.joinable())
			thread_.join();
		stopping_ = false;
	}

	// Shows device from now on; the one before stops first.
	void open(const std::string &device)
	{
		stopSource();
		std::string why;
		frames_ = OpenDevice(source_, device, why);
		device_ = device;
		sources_->refresh(device);
		{
			std::lock_guard lock(mutex_);
			signal_ = false;
			noticeText_.clear();
			noticeChanged_ = false;
			sourceText_ = why;
		}
		const QString name = QString::fromStdString(frames_ ? frames_->name() : "no capture device");
		setWindowTitle(QStringLiteral("Velmora picture - %1").arg(name));
		setAccessibleName(windowTitle());
		notice_->setText(QString::fromStdString(why));
		display({}, {}, false, 0, 0);
		if (frames_)
			thread_ = std::thread([this] { run(); });
	}

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
			const bool signal = frames_->next(frame);
			const std::string notice = frames_->takeNotice();
			if (stopping_)
				break;
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
		display(image, levels, signal, fps, number);
		if (noticeChanged)
			notice_->setText(QString::fromStdString(notice));
	}

	void display(const QImage &image, const video::Levels &levels, bool signal, double fps,
		     std::int64_t number)
	{
		shown_ = image;
		view_->show(image);
		const QString description =
			image.isNull()
				? QStringLiteral("no signal")
				: QStringLiteral("%1 x %2 picture").arg(image.width()).arg(image.height());
		if (description != scroll_->accessibleDescription())
			scroll_->setAccessibleDescription(description);
		histogram_->show(levels.histogram, signal);
		save_->setEnabled(!image.isNull());
		if (!signal) {
			levels_->setText(QStringLiteral("no signal"));
			return;
		}
		const QStringList fields{
			Whole(QStringLiteral("%1 x %2 %3")
				      .arg(image.width())
				      .arg(image.height())
				      .arg(QLatin1String(video::StandardOfLines(image.height())))),
			Whole(QStringLiteral("%1 frames/s").arg(fps, 0, 'f', 1)),
			Whole(QStringLiteral("mean R %1").arg(levels.red, 0, 'f', 1)) + ' ' +
				Whole(QStringLiteral("G %1").arg(levels.green, 0, 'f', 1)) + ' ' +
				Whole(QStringLiteral("B %1").arg(levels.blue, 0, 'f', 1)),
			Whole(QStringLiteral("frame %1").arg(number)),
		};
		levels_->setText(fields.join(QStringLiteral(", ")));
	}

	// The frame shown, as it came from the camera (not as scaled).
	void savePicture()
	{
		if (shown_.isNull())
			return;
		const QImage image = shown_.convertToFormat(QImage::Format_RGB888);
		video::Frame frame;
		frame.width = image.width();
		frame.height = image.height();
		frame.rgb.resize(static_cast<std::size_t>(frame.width) * frame.height * 3);
		for (int y = 0; y < frame.height; y++)
			std::copy_n(image.constScanLine(y), frame.width * 3,
				    frame.rgb.begin() + static_cast<std::ptrdiff_t>(y) * frame.width * 3);
		CFileDialog dialog(FALSE, "png", "picture.png", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
				   "PNG pictures (*.png)|*.png||", &panel_);
		if (dialog.DoModal() != IDOK)
			return;
		const std::string path = dialog.GetPathName().GetString();
		if (std::string why = video::WritePng(frame, path); !why.empty()) {
			const std::string text = "The picture was not saved in " + path + ": " + why;
			AfxMessageBox(text.c_str());
			return;
		}
		notice_->setText(QStringLiteral("picture saved in %1").arg(QString::fromStdString(path)));
	}

	CDialog &panel_;
	const PictureSource source_;
	std::string device_;                         // the device shown
	std::unique_ptr<video::FrameSource> frames_; // the device shown, read on thread_
	SourceBox *sources_;
	QPushButton *fit_;
	QPushButton *actual_;
	QScrollArea *scroll_;
	PictureView *view_;
	HistogramView *histogram_;
	QLabel *levels_;
	QLabel *notice_;
	QPushButton *save_;
	QImage shown_;
	bool placed_ = false; // shown where it goes: its geometry is worth keeping
	std::thread thread_;
	std::atomic<bool> stopping_{ false };

	std::mutex mutex_;
	video::Frame frame_;
	video::Levels levels_data_;
	bool signal_ = false;
	double fps_ = 0;
	std::string noticeText_;
	bool noticeChanged_ = false;
	std::string sourceText_; // what the window says of its source at first
	bool posted_ = false;
};

PictureWindow *WindowOf(const CDialog &panel)
{
	QDialog *dialog = toolkit::DialogWidget(panel);
	return dialog ? dialog->findChild<PictureWindow *>(QStringLiteral("picture"),
							   Qt::FindDirectChildrenOnly)
		      : nullptr;
}

} // namespace

QImage FitPicture(const QImage &picture, const QSize &box)
{
	if (picture.isNull() || box.isEmpty())
		return {};
	return picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QRect PictureFrameBeside(const QRect &panel, const QRect &area, const QSize &frame)
{
	const int right = area.right() - panel.right() - kGap;
	const int left = panel.left() - area.left() - kGap;
	QRect placed(QPoint(), frame);
	if (right >= frame.width() || (left < frame.width() && right >= left))
		placed.moveTopLeft(panel.topRight() + QPoint(kGap + 1, 0));
	else
		placed.moveTopRight(panel.topLeft() - QPoint(kGap + 1, 0));
	placed.moveTopLeft(toolkit::PlaceFrame(area, placed));
	return placed;
}

void ShowPictureWindow(CDialog &panel, const PictureSource &source)
{
	if (!WindowOf(panel))
		new PictureWindow(toolkit::DialogWidget(panel), panel, source);
	// Opened as the panel starts, the window waits for the panel to be
	// shown, so that it goes beside it.
	QPointer<PictureWindow> window = WindowOf(panel);
	QTimer::singleShot(0, window.data(), [window] {
		if (!window)
			return;
		if (QWidget *owner = window->parentWidget(); owner && !window->isVisible())
			window->place(*owner);
		window->show();
		window->raise();
		window->activateWindow();
	});
}

QWidget *PictureWindowWidget(const CDialog &panel)
{
	return WindowOf(panel);
}
