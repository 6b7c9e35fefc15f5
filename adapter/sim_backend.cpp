// The back end that talks to a simulated camera. Faults are bus trouble,
// so they are decided here, before the camera sees the call. The caller
// (qxiic.cpp) already holds the library lock.
#include "backend.h"
#include "library.h"
#include "qxiic.h"
#include "sim_store.h"
#include "simulator.h"

namespace qxiic {
namespace {

using sim::Call;

std::int64_t Now()
{
	return TheLibrary().clock.now();
}

bool IsEeprom(int device)
{
	return device >= 0xA0 && device <= 0xAF;
}

class SimBackend : public Backend
{
public:
	SimBackend(int camera, std::string file) : camera_(camera), file_(std::move(file)) {}

	bool usesLibraryState() const override { return true; }

	unsigned short sendSub(int device, int subLength, int subAddress, const std::uint8_t *data,
			       int count) override
	{
		Simulator &s = TheSimulator();
		if (unsigned short st = s.faults.check(Call::SendSub, device, subAddress))
			return st;
		SimCamera &camera = s.cameras[static_cast<std::size_t>(camera_)];
		unsigned short st = camera.sendSub(device, subLength, subAddress, data, count, Now());
		// Kept at once, as the chip keeps it: the next run reads it.
		if (st == QXIIC_OK && count > 0 && IsEeprom(device) && !file_.empty())
			if (std::string trouble = SaveSimEeprom(camera.eeprom(), file_); !trouble.empty())
				Notice(TheLibrary(), trouble);
		return st;
	}

	unsigned short receiveSub(int device, int subLength, int subAddress, std::uint8_t *data,
				  int count) override
	{
		Simulator &s = TheSimulator();
		if (unsigned short st = s.faults.check(Call::ReceiveSub, device, subAddress))
			return st;
		return s.cameras[static_cast<std::size_t>(camera_)].receiveSub(device, subLength, subAddress,
									       data, count, Now());
	}

	unsigned short receive(int device, std::uint8_t *data, int count) override
	{
		Simulator &s = TheSimulator();
		if (unsigned short st = s.faults.check(Call::Receive, device, std::nullopt))
			return st;
		return s.cameras[static_cast<std::size_t>(camera_)].receive(device, data, count, Now());
	}

private:
	int camera_;
	std::string file_;
};

} // namespace

// The camera's EEPROM file is read at its first open in the process; from
// then on the camera in memory is the truth and every write goes to the file.
Opened OpenSim(int camera)
{
	Simulator &s = TheSimulator();
	std::size_t i = static_cast<std::size_t>(camera);
	std::string file = SimEepromFile(camera);
	if (!s.loaded[i] && !file.empty())
		LoadSimEeprom(s.cameras[i].eeprom(), file);
	s.loaded[i] = true;
	// Only a change of the file plugs or unplugs, so a test's own
	// SetPlugged stands while no file says otherwise.
	if (bool absent = SimCameraAbsent(camera); absent != s.absentByFile[i]) {
		s.absentByFile[i] = absent;
		s.cameras[i].setPlugged(!absent);
	}
	Opened o;
	o.backend = std::make_unique<SimBackend>(camera, std::move(file));
	return o;
}

} // namespace qxiic
