// Where a simulated camera keeps what a real one keeps while it stays
// powered, so that what one run did the next one finds, and so that two
// programs on one simulated camera see one camera: its EEPROM
// (sim-N.eeprom, the 2048 bytes as they are) and its sensor registers
// (sim-N.sensor, one "register value" line each in hex), in
// $QXIIC_SIM_DIR when that variable is set (set but empty: nowhere, the
// camera lives as long as the process), else $XDG_STATE_HOME/velmora/,
// else ~/.local/state/velmora/. Removing sim-N.sensor, or taking the camera
// away with sim-N.absent and putting it back, is the camera's power cycle:
// it powers up again (sim_power_up.h), its trim and settings script from
// its EEPROM.
//
// Each transfer runs with sim-N.lock locked, so programs on one camera
// take turns as they do on one bus, and reads the files again only when
// another program has replaced them; a camera whose lock cannot be taken
// is not used at all. Every file is written whole under a name of its own
// and renamed over the old one; something that is not a plain file where a
// file should be (a FIFO, a directory) is left alone. A file that is not
// what the camera writes (an EEPROM of another size, a sensor file cut
// off or garbled) is moved aside as NAME.damaged-TIME, never overwritten,
// and the camera starts from factory content.
#pragma once

#include "sim_camera.h"

#include <string>
#include <sys/stat.h>
#include <vector>

namespace qxiic {

// A camera's state files. dir is "" when the camera keeps nothing; then
// keepsNothing says why when the user did not ask for it.
struct SimFiles {
	std::string dir;
	std::string keepsNothing;
	std::string eeprom;
	std::string sensor;
	std::string lock;
	// Beside the EEPROM: while sim-N.absent exists the camera is taken
	// away (a station rehearsal); its adapter stays, the camera answers
	// nothing; removed, the camera is back with what its EEPROM held.
	// Taking it away is a power cycle (SimFileSession::switchOff).
	std::string absent;
};

SimFiles SimFilesOf(int camera);

// Which version of a file was last read or written.
struct SimStamp {
	bool exists = false;
	dev_t dev = 0;
	ino_t ino = 0;
	mode_t mode = 0;
	off_t size = 0;
	struct timespec mtime {
	};
	bool operator==(const SimStamp &other) const;
};

// What this process last saw of the camera's files.
struct SimSeen {
	bool known = false;
	SimStamp eeprom;
	SimStamp sensor;
};

// Makes the camera's folder and tries its lock file. Returns why the
// camera keeps nothing between runs (files.dir is then cleared: the camera
// lives in memory), or, in refusal, why its lock cannot be had; "" for
// both when all is well.
void OpenSimStore(SimFiles &files, std::string &keepsNothing, std::string &refusal);

// One transfer's hold on the camera's files: the lock, and the camera as
// the files have it. Troubles (a file
// that cannot be kept, one moved aside...) go to notices; the camera in
// memory carries on either way, except without the lock: then locked()
// is false and the transfer must not run.
class SimFileSession
{
public:
	SimFileSession(const SimFiles &files, SimCamera &camera, SimSeen &seen,
		       std::vector<std::string> &notices);
	SimFileSession(const SimFileSession &) = delete;
	SimFileSession &operator=(const SimFileSession &) = delete;
	// Writes what the transfer changed.
	~SimFileSession();

	bool locked() const { return locked_; }

	// The camera's power cycle, as its sim-N.absent file going and
	// coming means. Switched off, its sensor file goes with the registers
	// it held, so that whichever program finds the camera next powers it
	// up, even one that never saw it away; switched on, it powers up.
	void switchOff();
	void switchOn();

private:
	void readEeprom();
	void readSensor();

	const SimFiles &files_;
	SimCamera &camera_;
	SimSeen &seen_;
	std::vector<std::string> &notices_;
	int lockFd_ = -1;
	bool locked_ = false;
	SimEeprom::Contents eepromBefore_{};
	std::string sensorBefore_;
};

// The sensor's registers as the file holds them, and back; SetSensorFromText
// returns what is wrong with a text that is no such file ("" when it took it).
std::string SensorText(const SimSensor &sensor);
std::string SetSensorFromText(SimSensor &sensor, const std::string &text);

} // namespace qxiic
