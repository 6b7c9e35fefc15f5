// The exit statuses of the command-line tools, the same number for the
// same kind of end in each. Scripts on a production line test them, so a
// value never changes meaning; --help and the manual pages list them.
#pragma once

namespace tool {

enum ExitStatus {
	kSuccess = 0,        // done, and verified
	kNotConfirmed = 1,   // the operator declined at the prompt; nothing written
	kUsage = 2,          // bad command line, or --yes missing without a terminal
	kRefusedFile = 3,    // settings file unreadable or damaged; nothing written
	kBusFailure = 4,     // a transfer failed or the EEPROM stayed busy
	kMismatch = 5,       // verification found a differing byte
	kFileNotWritten = 6, // dump: the settings file could not be written
	kFrameFailed = 7,    // the EEPROM verified, the camera's picture failed its check
	kNotRecorded = 8,    // the camera succeeded, but its record could not be kept
	kInterrupted = 130,  // stopped by SIGINT or SIGTERM after a whole block, as a shell reports Ctrl+C
};

} // namespace tool
