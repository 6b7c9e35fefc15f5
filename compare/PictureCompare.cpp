// The frame check's image maths, on grey pictures: structural similarity
// (SSIM, Wang et al. 2004: an 11-tap Gaussian window of sigma 1.5, the
// constants of 8-bit levels) at about 180 lines, where a picture's own
// detail outweighs the noise and the thin lines of overlays; the offset
// by phase correlation and the edge energy (variance of the Laplacian) at
// full size, where a trim step of two pixels still shows.
//
// The offset is the peak of the plain cross-correlation, not of the phase
// correlation (cv::phaseCorrelate): whitening gives every frequency the
// same weight, and then the thin lines of the camera's overlays, drawn in
// place whatever the scene does, and the phase-reversed high frequencies
// of a soft lens pull its peak by a pixel or more, a trim step's half.
// Weighted by the scene's own energy, the peak stays where the scene is.
#include "CompareModule.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstring>
#include <exception>

namespace {

constexpr int kCompareLines = 180;
constexpr double kC1 = (0.01 * 255) * (0.01 * 255);
constexpr double kC2 = (0.03 * 255) * (0.03 * 255);

cv::Mat Grey(const VelmoraPicture &p)
{
	const cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<unsigned char *>(p.rgb));
	cv::Mat grey, wide;
	cv::cvtColor(rgb, grey, cv::COLOR_RGB2GRAY);
	grey.convertTo(wide, CV_32F);
	return wide;
}

cv::Mat Small(const cv::Mat &grey)
{
	const double f = static_cast<double>(kCompareLines) / grey.rows;
	cv::Mat small;
	cv::resize(grey, small, cv::Size(), f, f, cv::INTER_AREA);
	return small;
}

cv::Mat Window(const cv::Mat &m)
{
	cv::Mat blurred;
	cv::GaussianBlur(m, blurred, cv::Size(11, 11), 1.5);
	return blurred;
}

double Ssim(const cv::Mat &a, const cv::Mat &b)
{
	const cv::Mat muA = Window(a), muB = Window(b);
	const cv::Mat muAA = muA.mul(muA), muBB = muB.mul(muB), muAB = muA.mul(muB);
	const cv::Mat varA = Window(a.mul(a)) - muAA;
	const cv::Mat varB = Window(b.mul(b)) - muBB;
	const cv::Mat cov = Window(a.mul(b)) - muAB;
	cv::Mat top = (2 * muAB + kC1).mul(2 * cov + kC2);
	cv::Mat bottom = (muAA + muBB + kC1).mul(varA + varB + kC2);
	cv::Mat map;
	cv::divide(top, bottom, map);
	return cv::mean(map)[0];
}

double EdgeEnergy(const cv::Mat &grey)
{
	cv::Mat laplacian;
	cv::Laplacian(grey, laplacian, CV_32F);
	cv::Scalar mean, deviation;
	cv::meanStdDev(laplacian, mean, deviation);
	return deviation[0] * deviation[0];
}

cv::Mat Spectrum(const cv::Mat &grey, const cv::Mat &window, cv::Size size)
{
	cv::Mat padded, spectrum;
	cv::copyMakeBorder((grey - cv::mean(grey)[0]).mul(window), padded, 0, size.height - grey.rows, 0,
			   size.width - grey.cols, cv::BORDER_CONSTANT, 0);
	cv::dft(padded, spectrum, cv::DFT_COMPLEX_OUTPUT);
	return spectrum;
}

// How far seen lies right of and below known: the peak of their cross-
// correlation, refined by the centroid of its 3x3 neighbourhood.
cv::Point2d Offset(const cv::Mat &known, const cv::Mat &seen)
{
	// The window keeps the pictures' edges, which the trim fills from its
	// edge pixels, from ruling the correlation.
	cv::Mat window;
	cv::createHanningWindow(window, known.size(), CV_32F);
	const cv::Size size(cv::getOptimalDFTSize(known.cols), cv::getOptimalDFTSize(known.rows));
	cv::Mat cross, surface;
	cv::mulSpectrums(Spectrum(seen, window, size), Spectrum(known, window, size), cross, 0, true);
	cv::idft(cross, surface, cv::DFT_REAL_OUTPUT | cv::DFT_SCALE);

	cv::Point peak;
	cv::minMaxLoc(surface, nullptr, nullptr, nullptr, &peak);
	double sum = 0, sx = 0, sy = 0;
	for (int dy = -1; dy <= 1; dy++)
		for (int dx = -1; dx <= 1; dx++) {
			const double v = std::max(0.0f,
						  surface.at<float>((peak.y + dy + size.height) % size.height,
								    (peak.x + dx + size.width) % size.width));
			sum += v;
			sx += v * dx;
			sy += v * dy;
		}
	double x = peak.x + (sum > 0 ? sx / sum : 0);
	double y = peak.y + (sum > 0 ? sy / sum : 0);
	// The surface wraps round: the far half are offsets left and up.
	if (x > size.width / 2.0)
		x -= size.width;
	if (y > size.height / 2.0)
		y -= size.height;
	return { x, y };
}

void Say(char *why, unsigned long size, const char *text)
{
	if (size == 0)
		return;
	std::strncpy(why, text, size - 1);
	why[size - 1] = '\0';
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
velmora_compare_pictures(const VelmoraPicture *frame, const VelmoraPicture *reference, VelmoraLikeness *out,
			 char *why, unsigned long whySize)
{
	if (frame->width != reference->width || frame->height != reference->height || frame->width < 16 ||
	    frame->height < 16) {
		Say(why, whySize, "the pictures differ in size or are too small");
		return -1;
	}
	try {
		// One camera's check per process, several processes at once: the
		// cameras are the parallelism, and OpenCV's worker threads, each
		// spinning while it waits, would only take the cores from them.
		static const bool single = [] {
			cv::setNumThreads(0);
			return true;
		}();
		(void)single;
		const cv::Mat seen = Grey(*frame), known = Grey(*reference);
		const cv::Mat seenSmall = Small(seen), knownSmall = Small(known);
		out->structure = Ssim(seenSmall, knownSmall);
		cv::Mat turned;
		cv::flip(knownSmall, turned, 1);
		out->mirrored = Ssim(seenSmall, turned);
		cv::flip(knownSmall, turned, 0);
		out->upside_down = Ssim(seenSmall, turned);
		cv::flip(knownSmall, turned, -1);
		out->turned = Ssim(seenSmall, turned);

		const cv::Point2d shift = Offset(known, seen);
		out->offset_x = shift.x;
		out->offset_y = shift.y;

		const double energy = EdgeEnergy(known);
		out->sharpness = energy > 0 ? EdgeEnergy(seen) / energy : 0;
	} catch (const std::exception &e) {
		Say(why, whySize, e.what());
		return -1;
	}
	return 0;
}
