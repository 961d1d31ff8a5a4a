#pragma once

// Control of the simulated USB instrument that stands in for libusb-1.0 in
// the test programs. Tests plug instruments in, make them misbehave, and read
// back every library call the panel made.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace FakeUsb {

enum class Model { Dxu2, Dxu3 };

using Bytes = std::vector<std::uint8_t>;
using IdentityReply = std::array<std::uint8_t, 32>;

// One library call as the panel made it. `device` is the id given by
// addInstrument/addUnrelatedDevice, -1 for calls that concern no device.
// For bulk transfers `bytes` holds what went out (OUT) or came in (IN).
struct Call
{
    std::string function;
    int device = -1;
    int endpoint = -1;
    Bytes bytes;
    int length = 0;
    unsigned int timeout = 0;
    int result = 0;
    int transferred = 0;
};

// Unplugs everything, forgets every setting and the call log.
void reset();

// Plugs in an instrument (vendor 0x03EB, product 0x204F) at the end of the
// library's device list; returns its id. Its identity reply names the model
// (byte 10: 3 for a DXU3, 2 for a DXU2) and its status holds 300 ms periods,
// 200 ms pulses, 1 pulse, time base 20 ns and a 5 V threshold.
int addInstrument(Model model);
// Plugs in a device of another maker at the end of the list.
int addUnrelatedDevice(std::uint16_t vendorId, std::uint16_t productId);

// libusb error codes (LIBUSB_ERROR_ACCESS, ...) returned by libusb_open or
// libusb_claim_interface for this device; 0 lets them succeed.
void setOpenError(int device, int libusbError);
void setClaimError(int device, int libusbError);
// The configuration the device is in (0: unconfigured; 1 after plugging in).
// Setting a configuration fails as busy while the interface is claimed or a
// kernel driver holds it.
void setConfiguration(int device, int configuration);
// A kernel driver bound to interface 0: the claim fails as busy unless the
// handle asked the library to detach it (as on Linux), which gives it back
// on release.
void setKernelDriver(int device, bool attached);
// The device vanishes from the bus: every later call on its handles fails
// with LIBUSB_ERROR_NO_DEVICE and it is no longer listed.
void unplug(int device);
// Every bulk write of a frame starting with this command code fails with a
// time-out (commandCode -1: every write).
void setWriteFails(int device, int commandCode, bool fails = true);
// The reply to this command code is cut to `length` bytes (0: no reply at
// all, the read times out) or, beyond the frame, made longer with 0xEE bytes
// (the read overflows); -1 restores the full reply.
void setReplyLength(int device, std::uint8_t commandCode, int length);

// The reply to this command code comes late: the read that waits for it
// times out, and then it waits in the IN endpoint for whoever reads next.
void setReplyLate(int device, std::uint8_t commandCode, bool late = true);
// The reply to this command code comes as two transfers, the first
// `firstLength` bytes and then the rest (-1: in one piece again).
void setReplySplit(int device, std::uint8_t commandCode, int firstLength);
// The endpoint (0x02 or 0x81) is halted: every transfer on it fails with
// LIBUSB_ERROR_PIPE until libusb_clear_halt.
void setHalted(int device, unsigned char endpoint, bool halted = true);
// Bytes waiting in the IN endpoint, all transfers together.
int pendingInput(int device);
// The device vanishes (as unplug()) after this many more bulk transfers.
void unplugAfter(int device, int transfers);
// The unplugged device is plugged in again: it comes back as a new device at
// the end of the list, with the settings, identity and status it had and
// nothing waiting; handles on the old one stay dead. Returns the new id.
int replug(int device);

// The 32-byte answer to 0x07. A network write (0x08) changes bytes 13..31.
// Garbage frames are set with these two.
void setIdentity(int device, const IdentityReply &reply);
IdentityReply identity(int device);
// The settings the instrument holds, as its status frame carries them (56
// bytes; a DXU2 answers with the first 52). A settings write (0x09) stores
// its frame here without the code byte; only a DXU3 takes the threshold.
void setStatus(int device, const Bytes &status);

const std::vector<Call> &calls();
void clearCalls();
// The frames that went out to this device by bulk write, successful or not.
std::vector<Bytes> framesWritten(int device);

// Handles opened and not yet closed (all devices, or one).
int openHandles();
int openHandles(int device);
// Library contexts initialised and not yet released.
int liveContexts();

} // namespace FakeUsb
