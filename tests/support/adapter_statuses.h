// The adapter's failure statuses and the texts the operator reads for
// them, written out here so that a slip in the program's own table shows.
#pragma once

struct AdapterStatus {
	unsigned short status;
	const char *text;
};

inline constexpr AdapterStatus kAdapterStatuses[] = {
	{ 2, "error ILLEGAL_BIT" },
	{ 3, "error arbitration problem" },
	{ 4, "TIMEOUT, no response" },
	{ 5, "not a correct acknowledge recieved" },
	{ 6, "error bus is bussy or occupied" },
	{ 7, "init error" },
	{ 8, "no correct stop condition" },
	{ 10, "unknown command" },
	{ 11, "USB command error" },
	{ 12, "USB_WRITE_ERROR" },
	{ 13, "USB_READ_ERROR" },
	{ 14, "error: USB_I2C_NACK" },
	{ 15, "error: device not present" },
	{ 16, "WRONG_OPERATING_SYSTEM" },
	{ 22, "error USB_DEVICE_NOT_FOUND" },
	{ 23, "MAX_DEVICES_EXCEEDED" },
	{ 33, "USB_DATA_OVERFLOW" },
	// Not one of the adapter's statuses.
	{ 20, " General error" },
};
