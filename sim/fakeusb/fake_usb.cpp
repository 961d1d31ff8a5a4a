// The control side of the simulated instrument: plugging devices in, making
// them misbehave, and reading back what the panel did.
#include "fakeusb/fake_usb_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace FakeUsb {

namespace {
constexpr std::uint16_t InstrumentVendorId = 0x03EB;
constexpr std::uint16_t InstrumentProductId = 0x204F;

// Devices of earlier tests stay allocated but are no longer on the list;
// ids count from the first device plugged in since the last reset.
std::size_t firstCurrentDevice = 0;

void putLittleEndian(Bytes &bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

Bytes defaultStatus()
{
    Bytes status(56, 0);
    putLittleEndian(status, 2, 14999999); // period 1: 300 ms at 20 ns, sent as ticks - 1
    putLittleEndian(status, 6, 14999999); // period 2
    for (std::size_t end = 26; end <= 38; end += 4)
        putLittleEndian(status, end, 10000000); // 200 ms
    putLittleEndian(status, 42, 1);
    putLittleEndian(status, 46, 1);
    const float volts = 5.0f;
    std::uint32_t voltBits = 0;
    std::memcpy(&voltBits, &volts, sizeof voltBits);
    putLittleEndian(status, 52, voltBits);
    return status;
}

IdentityReply defaultIdentity(Model model)
{
    IdentityReply reply{};
    for (int i = 0; i < 10; ++i)
        reply[i] = static_cast<std::uint8_t>(0x10 + i);
    reply[10] = model == Model::Dxu3 ? 3 : 2;
    const std::uint8_t network[19] = {0,  0x00, 0x1B, 0xC5, 0x0A, 0x0B, 0x0C, 127, 0, 0,
                                      50, 255,  0,    0,    0,    127,  0,    0,   1};
    std::memcpy(reply.data() + 13, network, sizeof network);
    return reply;
}

int plugIn(Device sim)
{
    State &s = state();
    sim.id = static_cast<int>(s.devices.size() - firstCurrentDevice);
    auto device = std::make_unique<libusb_device>();
    device->sim = std::move(sim);
    s.devices.push_back(std::move(device));
    return s.devices.back()->sim.id;
}
} // namespace

State &state()
{
    static State s;
    return s;
}

libusb_device &deviceObjectById(int id)
{
    State &s = state();
    const std::size_t index = firstCurrentDevice + static_cast<std::size_t>(id);
    if (id < 0 || index >= s.devices.size()) {
        std::fprintf(stderr, "fake usb: no device with id %d\n", id);
        std::abort();
    }
    return *s.devices[index];
}

Device &deviceById(int id) { return deviceObjectById(id).sim; }

void record(Call call) { state().calls.push_back(std::move(call)); }

void reset()
{
    State &s = state();
    for (auto &device : s.devices)
        device->sim.plugged = false;
    for (auto &handle : s.handles)
        handle->stale = true;
    firstCurrentDevice = s.devices.size();
    s.calls.clear();
}

int addInstrument(Model model)
{
    Device sim;
    sim.vendorId = InstrumentVendorId;
    sim.productId = InstrumentProductId;
    sim.instrument = true;
    sim.model = model;
    sim.identityReply = defaultIdentity(model);
    sim.statusBytes = defaultStatus();
    return plugIn(std::move(sim));
}

int addUnrelatedDevice(std::uint16_t vendorId, std::uint16_t productId)
{
    Device sim;
    sim.vendorId = vendorId;
    sim.productId = productId;
    return plugIn(std::move(sim));
}

void setOpenError(int device, int libusbError) { deviceById(device).openError = libusbError; }

void setClaimError(int device, int libusbError) { deviceById(device).claimError = libusbError; }

void setConfiguration(int device, int configuration)
{
    deviceById(device).configuration = configuration;
}

void setKernelDriver(int device, bool attached) { deviceById(device).kernelDriver = attached; }

void unplug(int device) { deviceById(device).plugged = false; }

void setWriteFails(int device, int commandCode, bool fails)
{
    if (fails)
        deviceById(device).failingWrites.insert(commandCode);
    else
        deviceById(device).failingWrites.erase(commandCode);
}

void setReplyLength(int device, std::uint8_t commandCode, int length)
{
    if (length < 0)
        deviceById(device).replyLengths.erase(commandCode);
    else
        deviceById(device).replyLengths[commandCode] = length;
}

void setReplyLate(int device, std::uint8_t commandCode, bool late)
{
    if (late)
        deviceById(device).lateReplies.insert(commandCode);
    else
        deviceById(device).lateReplies.erase(commandCode);
}

void setReplySplit(int device, std::uint8_t commandCode, int firstLength)
{
    if (firstLength < 0)
        deviceById(device).replySplits.erase(commandCode);
    else
        deviceById(device).replySplits[commandCode] = firstLength;
}

void setHalted(int device, unsigned char endpoint, bool halted)
{
    if (halted)
        deviceById(device).haltedEndpoints.insert(endpoint);
    else
        deviceById(device).haltedEndpoints.erase(endpoint);
}

void unplugAfter(int device, int transfers) { deviceById(device).transfersUntilUnplug = transfers; }

int pendingInput(int device)
{
    std::size_t bytes = 0;
    for (const Device::Packet &packet : deviceById(device).input)
        bytes += packet.bytes.size();
    return static_cast<int>(bytes);
}

int replug(int device)
{
    Device &gone = deviceById(device);
    Device again = gone;
    gone.plugged = false;
    again.plugged = true;
    again.input.clear();
    again.haltedEndpoints.clear();
    again.transfersUntilUnplug = -1;
    return plugIn(std::move(again));
}

void setIdentity(int device, const IdentityReply &reply)
{
    deviceById(device).identityReply = reply;
}

IdentityReply identity(int device) { return deviceById(device).identityReply; }

void setStatus(int device, const Bytes &status)
{
    Bytes full = status;
    full.resize(56, 0);
    deviceById(device).statusBytes = full;
}

const std::vector<Call> &calls() { return state().calls; }

void clearCalls() { state().calls.clear(); }

std::vector<Bytes> framesWritten(int device)
{
    std::vector<Bytes> frames;
    for (const Call &call : state().calls)
        if (call.function == "libusb_bulk_transfer" && call.device == device &&
            (call.endpoint & LIBUSB_ENDPOINT_IN) == 0)
            frames.push_back(call.bytes);
    return frames;
}

int openHandles()
{
    int count = 0;
    for (const auto &handle : state().handles)
        if (handle->open && !handle->stale)
            ++count;
    return count;
}

int openHandles(int device)
{
    int count = 0;
    for (const auto &handle : state().handles)
        if (handle->open && !handle->stale && handle->device == &deviceObjectById(device))
            ++count;
    return count;
}

int liveContexts() { return state().liveContexts; }

} // namespace FakeUsb
