// The back end that talks to the simulated camera. Faults are bus
// trouble, so they are decided here, before the camera sees the call.
// The caller (qxiic.cpp) already holds the library lock.
#include "backend.h"
#include "library.h"
#include "qxiic.h"
#include "simulator.h"

namespace qxiic {
namespace {

using sim::Call;

std::int64_t Now()
{
	return TheLibrary().clock.now();
}

class SimBackend : public Backend
{
public:
	unsigned short sendSub(int device, int subLength, int subAddress, const std::uint8_t *data,
			       int count) override
	{
		Simulator &s = TheSimulator();
		if (unsigned short st = s.faults.check(Call::SendSub, device, subAddress))
			return st;
		return s.camera.sendSub(device, subLength, subAddress, data, count, Now());
	}

	unsigned short receiveSub(int device, int subLength, int subAddress, std::uint8_t *data,
				  int count) override
	{
		Simulator &s = TheSimulator();
		if (unsigned short st = s.faults.check(Call::ReceiveSub, device, subAddress))
			return st;
		return s.camera.receiveSub(device, subLength, subAddress, data, count, Now());
	}

	unsigned short receive(int device, std::uint8_t *data, int count) override
	{
		Simulator &s = TheSimulator();
		if (unsigned short st = s.faults.check(Call::Receive, device, std::nullopt))
			return st;
		return s.camera.receive(device, data, count, Now());
	}
};

} // namespace

std::unique_ptr<Backend> MakeSimBackend()
{
	return std::make_unique<SimBackend>();
}

} // namespace qxiic
