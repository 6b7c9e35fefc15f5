#include "ReferenceCompare.h"

#include "CompareModule.h"
#include "qxiic.h"

#include <cstring>
#include <mutex>

#include <dlfcn.h>

namespace video {
namespace {

using CompareFunction = int (*)(const VelmoraPicture *, const VelmoraPicture *, VelmoraLikeness *, char *,
				unsigned long);

struct Module {
	CompareFunction compare = nullptr;
	std::string why;
};

// The module lies beside libqxiic, in the folder of the programs' own
// libraries: its path is taken from where libqxiic was loaded, since a
// bare name would go by the RUNPATH of whoever calls dlopen (under the
// sanitizers, their runtime).
std::string ModulePath()
{
	auto function = &IICInit;
	void *address = nullptr;
	std::memcpy(&address, &function, sizeof(address));
	Dl_info info{};
	if (dladdr(address, &info) != 0 && info.dli_fname) {
		const std::string library = info.dli_fname;
		if (const std::size_t slash = library.rfind('/'); slash != std::string::npos)
			return library.substr(0, slash + 1) + VELMORA_COMPARE_MODULE;
	}
	return VELMORA_COMPARE_MODULE;
}

// Opened once and never closed.
const Module &TheModule()
{
	static Module module;
	static std::once_flag opened;
	std::call_once(opened, [] {
		void *lib = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
		if (!lib) {
			const char *error = dlerror();
			module.why = std::string("the picture comparison cannot be loaded: ") +
				     (error ? error : VELMORA_COMPARE_MODULE);
			return;
		}
		module.compare = reinterpret_cast<CompareFunction>(dlsym(lib, VELMORA_COMPARE_FUNCTION));
		if (!module.compare)
			module.why = std::string("the picture comparison lacks ") + VELMORA_COMPARE_FUNCTION;
	});
	return module;
}

VelmoraPicture PictureOf(const Frame &f)
{
	return { f.width, f.height, f.rgb.data() };
}

} // namespace

bool LoadComparison(std::string &why)
{
	why = TheModule().why;
	return TheModule().compare != nullptr;
}

bool CompareWithReference(const Frame &frame, const Frame &reference, Likeness &out, std::string &why)
{
	if (!LoadComparison(why))
		return false;
	if (frame.width != reference.width || frame.height != reference.height) {
		why = "the picture is " + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
		      ", the reference " + std::to_string(reference.width) + "x" +
		      std::to_string(reference.height);
		return false;
	}
	const VelmoraPicture a = PictureOf(frame), b = PictureOf(reference);
	VelmoraLikeness l{};
	char reason[256] = "";
	if (TheModule().compare(&a, &b, &l, reason, sizeof(reason)) != 0) {
		why = std::string("the picture could not be compared: ") + reason;
		return false;
	}
	out = { l.structure, l.mirrored, l.upside_down, l.turned, l.offset_x, l.offset_y, l.sharpness };
	return true;
}

} // namespace video
