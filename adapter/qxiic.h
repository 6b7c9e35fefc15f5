/*
 * libqxiic: the USB-to-I2C adapter interface.
 *
 * Every transfer is one open / transfer / close cycle: IICInit opens the
 * adapter for one device and returns a handle, SetAddress selects the
 * device for a write, SendSub / ReceiveSub / Receive perform the transfer
 * and IICClose releases the handle.
 *
 * Device addresses are 8-bit bus addresses (7-bit address shifted left);
 * the direction comes from the call, not from bit 0 of the address.
 *
 * The bus is the one IICSelectBus chose, else the environment variable
 * QXIIC_BUS, read afresh at every IICInit; either takes:
 *   unset or empty   the one USB-to-I2C adapter present (an i2c-dev bus
 *                    whose adapter sits on a USB device); with several,
 *                    the one on which the camera answers
 *   sim, sim:0..7    a simulated KL310 camera (sim is sim:0); each keeps
 *                    its EEPROM in $QXIIC_SIM_DIR/sim-N.eeprom, else under
 *                    $XDG_STATE_HOME/velmora/ (QXIIC_SIM_DIR set but
 *                    empty: in memory only); one whose sim-N.lock
 *                    cannot be used is not opened, so that two programs
 *                    never write it at once
 *   /dev/i2c-N       that bus through the Linux i2c-dev interface (a
 *                    udev symlink to it will do); only an i2c-dev node
 *                    is ever opened, and only a USB-attached adapter's
 *                    unless QXIIC_ALLOW_BUS=1 (or QXIIC_ALLOW_SMBUS=1)
 *   anything else    no bus: every transfer fails with
 *                    QXIIC_DEVICE_NOT_FOUND
 * A bus that cannot be opened still yields a handle; every transfer on
 * it fails with the status of the cause and sends nothing.
 *
 * QXIIC_TRACE=FILE appends one line per transfer to FILE ("-": standard
 * error). The library prints nothing else: IICBusState says why a bus
 * could not be opened, IICTakeNotice hands over anything else to tell.
 */
#ifndef QXIIC_H
#define QXIIC_H

#ifdef __cplusplus
extern "C" {
#endif

/* Transfer status codes; 0 is success. */
enum {
	QXIIC_OK = 0,
	QXIIC_GENERAL_ERROR = 1,
	QXIIC_ILLEGAL_BIT = 2,
	QXIIC_ARBITRATION = 3,
	QXIIC_TIMEOUT = 4,
	QXIIC_BAD_ACK = 5,
	QXIIC_BUS_BUSY = 6,
	QXIIC_INIT_ERROR = 7,
	QXIIC_NO_STOP = 8,
	QXIIC_UNKNOWN_COMMAND = 10,
	QXIIC_USB_COMMAND_ERROR = 11,
	QXIIC_USB_WRITE_ERROR = 12,
	QXIIC_USB_READ_ERROR = 13,
	QXIIC_NACK = 14,
	QXIIC_DEVICE_NOT_PRESENT = 15,
	QXIIC_WRONG_OS = 16,
	QXIIC_DEVICE_NOT_FOUND = 22,
	QXIIC_MAX_DEVICES = 23,
	QXIIC_DATA_OVERFLOW = 33,
};

/*
 * Opens the adapter for one transfer with the given device address.
 * param1 is the bus clock in Hz, param2 the transfer timeout in ms; on
 * a real bus both are left to the adapter's driver.
 * Returns a handle; a handle that is not open makes the transfer fail.
 */
int IICInit(int device, int param1, int param2);

/* Selects the device address of the following write. */
int SetAddress(int handle, int device);

/*
 * Writes count bytes after a sub-address of subLength bytes (1 or 2,
 * sent high byte first). flags is reserved and must be 0.
 */
unsigned short SendSub(int handle, int subLength, int subAddress, unsigned char *data, int count, int flags);

/* Writes the sub-address, then reads count bytes (repeated start). */
unsigned short ReceiveSub(int handle, int subLength, int subAddress, unsigned char *data, int count,
			  int flags);

/* Reads count bytes (0..255) with no sub-address phase. */
unsigned short Receive(int handle, unsigned char *data, int flags, int count);

/* Releases the handle. */
int IICClose(int handle);

/*
 * Extensions beside the six calls above.
 *
 * IICBusState: what the calling thread's most recent IICInit found.
 * Copies into bus the bus as the user knows it ("simulated camera",
 * "CP2112 SMBus Bridge on hidraw0 (/dev/i2c-3)", "no adapter") and into
 * reason why it could not be opened ("" when it was); each text is cut to
 * its size including the terminating zero, and either pointer may be
 * null. Returns that IICInit's status (QXIIC_OK: the bus was opened), or
 * -1 before the thread's first IICInit.
 */
int IICBusState(char *bus, int busSize, char *reason, int reasonSize);

/*
 * IICBusError: the errno with which the calling thread's most recent
 * IICInit failed to open the bus's node (EACCES: this user may not), or
 * 0 when it opened it, failed for another cause or was never called.
 */
int IICBusError(void);

/*
 * IICTakeNotice: copies the oldest notice not yet taken (the trace or the
 * simulator's EEPROM file could not be written...) into text and returns
 * 1, or returns 0 when there is none. Each notice is given once.
 */
int IICTakeNotice(char *text, int size);

/*
 * IICScanBuses: every i2c-dev bus, one line each, fields separated by
 * tabs: node path, adapter name ("?" when unreadable), "usb" or "not usb",
 * "allowed" or why the bus is refused or cannot be opened, "camera",
 * "no camera" or "not probed", and the errno of a failed open (as
 * IICBusError gives it, 0 for none). Only allowed buses are opened, for one
 * read of the camera's sensor. Copies the text as IICBusState does and
 * returns its whole length.
 */
int IICScanBuses(char *text, int size);

/*
 * IICSelectBus: the bus of every following IICInit in this process, in
 * the words QXIIC_BUS takes (an empty text: the one USB-to-I2C adapter
 * present). A null bus hands the choice back to QXIIC_BUS. A front end
 * chooses with this call instead of writing its own environment, which
 * other threads may be reading. Returns 0.
 */
int IICSelectBus(const char *bus);

#ifdef __cplusplus
}
#endif

#endif /* QXIIC_H */
