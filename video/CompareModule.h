// The one function of the picture comparison module
// (libvelmora_compare.so, beside libqxiic), opened with dlopen by
// ReferenceCompare.cpp. Plain C types, so that nothing of either side's
// C++ crosses the boundary.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct VelmoraPicture {
	int width;
	int height;
	const unsigned char *rgb; /* width * height * 3 bytes, R G B, rows top to bottom */
};

struct VelmoraLikeness {
	double structure;
	double mirrored;
	double upside_down;
	double turned;
	double offset_x;
	double offset_y;
	double sharpness;
};

/* Fills out and returns 0, or returns -1 with a reason of up to
   why_size - 1 bytes in why. */
int velmora_compare_pictures(const struct VelmoraPicture *frame, const struct VelmoraPicture *reference,
			     struct VelmoraLikeness *out, char *why, unsigned long why_size);

#define VELMORA_COMPARE_MODULE "libvelmora_compare.so"
#define VELMORA_COMPARE_FUNCTION "velmora_compare_pictures"

#ifdef __cplusplus
}
#endif
