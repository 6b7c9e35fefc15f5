#include "backend.h"

#include "qxiic.h"
#include "simulator.h"

#include <string>

namespace qxiic {
namespace {

// "sim" is camera 0, "sim:N" camera N; -1 for anything else.
int SimCameraNumber(const std::string &bus)
{
	if (bus == "sim")
		return 0;
	if (bus.size() == 5 && bus.rfind("sim:", 0) == 0 && bus[4] >= '0' && bus[4] < '0' + kSimCameras)
		return bus[4] - '0';
	return -1;
}

} // namespace

Opened Failed(unsigned short status, std::string detail, int osError)
{
	Opened o;
	o.status = status;
	o.detail = std::move(detail);
	o.osError = osError;
	return o;
}

// An empty QXIIC_BUS counts as unset: "QXIIC_BUS= program" means the
// default. The simulator only ever answers when asked for by name, so
// that nobody takes it for the camera.
Opened OpenBackend(const char *bus)
{
	if (bus == nullptr || bus[0] == '\0') {
		Opened o = OpenFoundAdapter();
		if (o.node.empty())
			o.node = "-";
		return o;
	}
	std::string name = bus;
	Opened o;
	if (int camera = SimCameraNumber(name); camera >= 0) {
		o = OpenSim(camera);
		o.title = name == "sim" ? "simulated camera" : "simulated camera " + std::to_string(camera);
	} else if (name == "none") {
		// Asked for by name: the panel without a camera, as an operator
		// may want to see it.
		o = Failed(QXIIC_DEVICE_NOT_FOUND, "no bus was chosen (none)");
		o.title = "no adapter";
	} else if (name[0] == '/') {
		o = OpenI2cDev(name);
	} else {
		o = Failed(
			QXIIC_DEVICE_NOT_FOUND,
			"\"" + name +
				"\" names no bus: use sim, sim:0 to sim:7, none or a path such as /dev/i2c-1");
	}
	if (o.title.empty())
		o.title = name;
	o.node = name;
	return o;
}

} // namespace qxiic
