#pragma once

// What the simulated instruments hold, shared by the control functions of
// fake_usb.h and the libusb-1.0 replacements.

#include "fakeusb/fake_usb.h"

#include <libusb.h>

#include <deque>
#include <map>
#include <memory>
#include <set>

namespace FakeUsb {

struct Device
{
    int id = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool instrument = false;
    Model model = Model::Dxu2;
    bool plugged = true;
    int openError = 0;
    int claimError = 0;
    int configuration = 1;       // 0: unconfigured
    bool kernelDriver = false;   // a kernel driver holds interface 0
    std::set<int> failingWrites; // command codes; -1 = every write
    std::map<std::uint8_t, int> replyLengths;
    IdentityReply identityReply{};
    Bytes statusBytes; // always 56 bytes
    // Transfers waiting on the IN endpoint, oldest first; a late one lets
    // the read that waits for it time out before it arrives.
    struct Packet
    {
        Bytes bytes;
        bool late = false;
    };
    std::deque<Packet> input;
    std::set<std::uint8_t> lateReplies;      // command codes answered late
    std::map<std::uint8_t, int> replySplits; // command code: length of the first part
    std::set<unsigned char> haltedEndpoints; // STALL until cleared
    int transfersUntilUnplug = -1;           // -1: stays plugged in
};

struct State
{
    // Devices and handles are never freed before the program ends, so that
    // a handle the panel still holds after a reset is detected, not a crash.
    std::deque<std::unique_ptr<libusb_device>> devices;
    std::deque<std::unique_ptr<libusb_device_handle>> handles;
    std::vector<Call> calls;
    int liveContexts = 0;
};

State &state();
Device &deviceById(int id);
libusb_device &deviceObjectById(int id);
void record(Call call);

} // namespace FakeUsb

// libusb's opaque types, defined here because the real library is not linked.
struct libusb_context
{
    int unused = 0;
};

struct libusb_device
{
    FakeUsb::Device sim;
};

struct libusb_device_handle
{
    libusb_device *device = nullptr;
    bool open = true;
    bool claimed = false;
    bool autoDetach = false;     // libusb_set_auto_detach_kernel_driver(1)
    bool driverDetached = false; // given back to the kernel on release
    bool stale = false;          // the fake was reset after the handle was opened
};
