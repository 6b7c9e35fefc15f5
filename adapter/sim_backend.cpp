// The back end that talks to a simulated camera. Faults are bus trouble,
// so they are decided here, before the camera sees the call. The caller
// (qxiic.cpp) already holds the library lock.
#include "backend.h"
#include "library.h"
#include "qxiic.h"
#include "sim_power_up.h"
#include "sim_store.h"
#include "simulator.h"

#include <sys/stat.h>
#include <vector>

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
	SimBackend(int camera, SimFiles files) : camera_(camera), files_(std::move(files)) {}

	bool usesLibraryState() const override { return true; }

	unsigned short sendSub(int device, int subLength, int subAddress, const std::uint8_t *data,
			       int count) override
	{
		if (unsigned short st = TheSimulator().faults.check(Call::SendSub, device, subAddress))
			return st;
		return onCamera([&](SimCamera &c) {
			return c.sendSub(device, subLength, subAddress, data, count, Now());
		});
	}

	unsigned short receiveSub(int device, int subLength, int subAddress, std::uint8_t *data,
				  int count) override
	{
		if (unsigned short st = TheSimulator().faults.check(Call::ReceiveSub, device, subAddress))
			return st;
		return onCamera([&](SimCamera &c) {
			return c.receiveSub(device, subLength, subAddress, data, count, Now());
		});
	}

	unsigned short receive(int device, std::uint8_t *data, int count) override
	{
		if (unsigned short st = TheSimulator().faults.check(Call::Receive, device, std::nullopt))
			return st;
		return onCamera([&](SimCamera &c) { return c.receive(device, data, count, Now()); });
	}

private:
	// The transfer meets the camera as its files have it, and what it
	// changes is kept at once, as the chip keeps it: the next program sees it.
	template <typename Transfer>
	unsigned short onCamera(Transfer transfer)
	{
		Simulator &s = TheSimulator();
		std::size_t i = static_cast<std::size_t>(camera_);
		if (files_.dir.empty())
			return transfer(s.cameras[i]);
		std::vector<std::string> troubles;
		unsigned short st = QXIIC_INIT_ERROR;
		{
			SimFileSession session(files_, s.cameras[i], s.seen[i], troubles);
			if (session.locked())
				st = transfer(s.cameras[i]);
		}
		for (const std::string &trouble : troubles)
			Notice(TheLibrary(), trouble);
		return st;
	}

	int camera_;
	SimFiles files_;
};

// Taken away, the camera loses its power; put back, it powers up.
void PowerCycle(const SimFiles &files, SimCamera &camera, SimSeen &seen, bool off)
{
	if (files.dir.empty()) {
		if (!off)
			PowerUp(camera);
		return;
	}
	std::vector<std::string> troubles;
	{
		SimFileSession session(files, camera, seen, troubles);
		if (session.locked() && off)
			session.switchOff();
		else if (session.locked())
			session.switchOn();
	}
	for (const std::string &trouble : troubles)
		Notice(TheLibrary(), trouble);
}

} // namespace

Opened OpenSim(int camera)
{
	SimFiles files = SimFilesOf(camera);
	std::string refusal;
	OpenSimStore(files, files.keepsNothing, refusal);
	if (!files.keepsNothing.empty())
		Notice(TheLibrary(), files.keepsNothing);
	if (!refusal.empty())
		return Failed(QXIIC_INIT_ERROR, refusal);
	// Only a change of the file plugs or unplugs, so a test's own
	// SetPlugged stands while no file says otherwise.
	std::size_t i = static_cast<std::size_t>(camera);
	Simulator &s = TheSimulator();
	struct stat st;
	if (bool absent = !files.absent.empty() && ::stat(files.absent.c_str(), &st) == 0;
	    absent != s.absentByFile[i]) {
		s.absentByFile[i] = absent;
		s.cameras[i].setPlugged(!absent);
		PowerCycle(files, s.cameras[i], s.seen[i], absent);
	}
	Opened o;
	o.backend = std::make_unique<SimBackend>(camera, std::move(files));
	return o;
}

} // namespace qxiic
