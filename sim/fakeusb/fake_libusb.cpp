// The libusb-1.0 functions the panel calls, answered by the simulated
// instruments. Signatures come from the real <libusb.h>, so the panel's code
// is the same that runs against hardware.
#include "fakeusb/fake_usb_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace FakeUsb;

namespace {
constexpr unsigned char OutEndpoint = 0x02;
constexpr unsigned char InEndpoint = 0x81;

int idOf(const libusb_device *device) { return device ? device->sim.id : -1; }

Call callOn(const char *function, const libusb_device *device)
{
    Call call;
    call.function = function;
    call.device = idOf(device);
    return call;
}

// Using a handle after libusb_close is undefined behaviour with the real
// library; here it stops the test with a message.
void requireOpen(const libusb_device_handle *handle, const char *function)
{
    if (!handle || !handle->open) {
        std::fprintf(stderr, "fake usb: %s on a %s handle\n", function, handle ? "closed" : "null");
        std::abort();
    }
}

// A call on an open handle: the usual start of every function that takes one.
Call callOnOpen(const libusb_device_handle *handle, const char *function)
{
    requireOpen(handle, function);
    return callOn(function, handle->device);
}

bool reachable(const libusb_device_handle *handle)
{
    return !handle->stale && handle->device->sim.plugged;
}

// The instrument's answer to a frame, if it has one.
bool replyTo(Device &sim, const unsigned char *data, int length, Bytes &reply)
{
    const std::uint8_t code = data[0];
    const bool dxu3 = sim.model == Model::Dxu3;
    switch (code) {
    case 0x07:
        reply.assign(sim.identityReply.begin(), sim.identityReply.end());
        return true;
    case 0x08:
        if (length >= 20)
            std::copy(data + 1, data + 20, sim.identityReply.begin() + 13);
        return false;
    case 0x09:
        if (length >= 53)
            std::copy(data + 1, data + 53, sim.statusBytes.begin());
        if (dxu3 && length >= 57)
            std::copy(data + 53, data + 57, sim.statusBytes.begin() + 52);
        reply = {0x01};
        return true;
    case 0x0A:
        reply.assign(sim.statusBytes.begin(), sim.statusBytes.begin() + (dxu3 ? 56 : 52));
        return true;
    case 0x0B:
        reply = {0x01};
        return true;
    default:
        return false;
    }
}

// What the instrument does with a frame that arrived on its OUT endpoint:
// its answer joins whatever still waits on the IN endpoint.
void receiveFrame(Device &sim, const unsigned char *data, int length)
{
    Bytes reply;
    if (length < 1 || !replyTo(sim, data, length, reply))
        return;
    const std::uint8_t code = data[0];
    const auto cut = sim.replyLengths.find(code);
    if (cut != sim.replyLengths.end()) {
        if (cut->second == 0)
            return;
        reply.resize(static_cast<std::size_t>(cut->second), 0xEE);
    }
    const bool late = sim.lateReplies.count(code) > 0;
    const auto split = sim.replySplits.find(code);
    if (split != sim.replySplits.end() && split->second < int(reply.size())) {
        sim.input.push_back({Bytes(reply.begin(), reply.begin() + split->second), late});
        sim.input.push_back({Bytes(reply.begin() + split->second, reply.end()), false});
    } else {
        sim.input.push_back({reply, late});
    }
}

int writeFrame(Device &sim, const unsigned char *data, int length, int *transferred)
{
    const int code = length > 0 ? data[0] : -1;
    if (sim.failingWrites.count(-1) || sim.failingWrites.count(code)) {
        *transferred = 0;
        return LIBUSB_ERROR_TIMEOUT;
    }
    receiveFrame(sim, data, length);
    *transferred = length;
    return 0;
}

// One transfer from the IN endpoint; a reply longer than the buffer
// overflows and is lost, as on the wire.
int readReply(Device &sim, unsigned char *data, int length, int *transferred)
{
    *transferred = 0;
    if (sim.input.empty())
        return LIBUSB_ERROR_TIMEOUT;
    if (sim.input.front().late) {
        sim.input.front().late = false; // here once this read has given up
        return LIBUSB_ERROR_TIMEOUT;
    }
    const Bytes packet = sim.input.front().bytes;
    sim.input.pop_front();
    const int size = static_cast<int>(packet.size());
    const int copied = std::min(size, length);
    std::copy(packet.begin(), packet.begin() + copied, data);
    *transferred = copied;
    return size > length ? LIBUSB_ERROR_OVERFLOW : 0;
}
} // namespace

int libusb_init(libusb_context **ctx)
{
    ++state().liveContexts;
    if (ctx)
        *ctx = new libusb_context;
    record(callOn("libusb_init", nullptr));
    return 0;
}

void libusb_exit(libusb_context *ctx)
{
    --state().liveContexts;
    delete ctx;
    record(callOn("libusb_exit", nullptr));
}

ssize_t libusb_get_device_list(libusb_context *, libusb_device ***list)
{
    std::vector<libusb_device *> plugged;
    for (auto &device : state().devices)
        if (device->sim.plugged)
            plugged.push_back(device.get());
    auto **array = new libusb_device *[plugged.size() + 1];
    std::copy(plugged.begin(), plugged.end(), array);
    array[plugged.size()] = nullptr;
    *list = array;
    Call call = callOn("libusb_get_device_list", nullptr);
    call.result = static_cast<int>(plugged.size());
    record(call);
    return static_cast<ssize_t>(plugged.size());
}

void libusb_free_device_list(libusb_device **list, int)
{
    delete[] list;
    record(callOn("libusb_free_device_list", nullptr));
}

int libusb_get_device_descriptor(libusb_device *dev, struct libusb_device_descriptor *desc)
{
    std::memset(desc, 0, sizeof *desc);
    desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    desc->bDescriptorType = LIBUSB_DT_DEVICE;
    desc->bcdUSB = 0x0200;
    desc->idVendor = dev->sim.vendorId;
    desc->idProduct = dev->sim.productId;
    desc->bNumConfigurations = 1;
    record(callOn("libusb_get_device_descriptor", dev));
    return 0;
}

int libusb_open(libusb_device *dev, libusb_device_handle **dev_handle)
{
    Call call = callOn("libusb_open", dev);
    if (!dev->sim.plugged)
        call.result = LIBUSB_ERROR_NO_DEVICE;
    else
        call.result = dev->sim.openError;
    if (call.result == 0) {
        auto handle = std::make_unique<libusb_device_handle>();
        handle->device = dev;
        *dev_handle = handle.get();
        state().handles.push_back(std::move(handle));
    }
    record(call);
    return call.result;
}

void libusb_close(libusb_device_handle *dev_handle)
{
    if (!dev_handle)
        return;
    requireOpen(dev_handle, "libusb_close");
    dev_handle->open = false;
    dev_handle->claimed = false;
    if (dev_handle->driverDetached)
        dev_handle->device->sim.kernelDriver = true;
    dev_handle->driverDetached = false;
    record(callOn("libusb_close", dev_handle->device));
}

int libusb_get_configuration(libusb_device_handle *dev_handle, int *config)
{
    Call call = callOnOpen(dev_handle, "libusb_get_configuration");
    if (!reachable(dev_handle))
        call.result = LIBUSB_ERROR_NO_DEVICE;
    else
        *config = call.length = dev_handle->device->sim.configuration;
    record(call);
    return call.result;
}

// Setting the configuration the device is already in is still a (light)
// reset of the device: it is recorded like any other.
int libusb_set_configuration(libusb_device_handle *dev_handle, int configuration)
{
    Call call = callOnOpen(dev_handle, "libusb_set_configuration");
    call.length = configuration;
    Device &sim = dev_handle->device->sim;
    if (!reachable(dev_handle))
        call.result = LIBUSB_ERROR_NO_DEVICE;
    else if (dev_handle->claimed || (sim.kernelDriver && sim.configuration != 0))
        call.result = LIBUSB_ERROR_BUSY; // as on Linux: not while an interface is held
    else if (configuration != 1)
        call.result = LIBUSB_ERROR_NOT_FOUND;
    else
        sim.configuration = configuration;
    record(call);
    return call.result;
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle *dev_handle, int enable)
{
    Call call = callOnOpen(dev_handle, "libusb_set_auto_detach_kernel_driver");
    call.length = enable;
    dev_handle->autoDetach = enable != 0;
    record(call);
    return call.result;
}

int libusb_claim_interface(libusb_device_handle *dev_handle, int interface_number)
{
    Call call = callOnOpen(dev_handle, "libusb_claim_interface");
    call.length = interface_number;
    if (!reachable(dev_handle))
        call.result = LIBUSB_ERROR_NO_DEVICE;
    else if (dev_handle->device->sim.claimError != 0)
        call.result = dev_handle->device->sim.claimError;
    else if (interface_number != 0 || dev_handle->device->sim.configuration != 1)
        call.result = LIBUSB_ERROR_NOT_FOUND;
    else if (dev_handle->device->sim.kernelDriver && !dev_handle->autoDetach)
        call.result = LIBUSB_ERROR_BUSY;
    else
        dev_handle->claimed = true;
    if (call.result == 0 && dev_handle->device->sim.kernelDriver) {
        dev_handle->device->sim.kernelDriver = false;
        dev_handle->driverDetached = true;
    }
    record(call);
    return call.result;
}

int libusb_release_interface(libusb_device_handle *dev_handle, int interface_number)
{
    Call call = callOnOpen(dev_handle, "libusb_release_interface");
    call.length = interface_number;
    if (!dev_handle->claimed || interface_number != 0)
        call.result = LIBUSB_ERROR_NOT_FOUND;
    else
        dev_handle->claimed = false;
    if (call.result == 0 && dev_handle->driverDetached) {
        dev_handle->device->sim.kernelDriver = true;
        dev_handle->driverDetached = false;
    }
    record(call);
    return call.result;
}

int libusb_bulk_transfer(libusb_device_handle *dev_handle, unsigned char endpoint,
                         unsigned char *data, int length, int *transferred, unsigned int timeout)
{
    Call call = callOnOpen(dev_handle, "libusb_bulk_transfer");
    call.endpoint = endpoint;
    call.length = length;
    call.timeout = timeout;
    int moved = 0;
    Device &sim = dev_handle->device->sim;
    if (sim.transfersUntilUnplug == 0)
        sim.plugged = false;
    else if (sim.transfersUntilUnplug > 0)
        --sim.transfersUntilUnplug;
    if (!reachable(dev_handle))
        call.result = LIBUSB_ERROR_NO_DEVICE;
    else if (!dev_handle->claimed) // stricter than Linux, which claims on the fly
        call.result = LIBUSB_ERROR_IO;
    else if (sim.haltedEndpoints.count(endpoint))
        call.result = LIBUSB_ERROR_PIPE;
    else if (endpoint == OutEndpoint)
        call.result = writeFrame(sim, data, length, &moved);
    else if (endpoint == InEndpoint)
        call.result = readReply(sim, data, length, &moved);
    else
        call.result = LIBUSB_ERROR_PIPE;
    if (endpoint & LIBUSB_ENDPOINT_IN)
        call.bytes.assign(data, data + moved);
    else
        call.bytes.assign(data, data + std::max(length, 0));
    call.transferred = moved;
    if (transferred)
        *transferred = moved;
    record(call);
    return call.result;
}

int libusb_clear_halt(libusb_device_handle *dev_handle, unsigned char endpoint)
{
    Call call = callOnOpen(dev_handle, "libusb_clear_halt");
    call.endpoint = endpoint;
    if (!reachable(dev_handle))
        call.result = LIBUSB_ERROR_NO_DEVICE;
    else if (endpoint != OutEndpoint && endpoint != InEndpoint)
        call.result = LIBUSB_ERROR_NOT_FOUND;
    else
        dev_handle->device->sim.haltedEndpoints.erase(endpoint);
    record(call);
    return call.result;
}

const char *libusb_error_name(int errcode)
{
    switch (errcode) {
    case LIBUSB_SUCCESS:
        return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO:
        return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM:
        return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS:
        return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE:
        return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND:
        return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY:
        return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT:
        return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW:
        return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE:
        return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED:
        return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM:
        return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return "LIBUSB_ERROR_NOT_SUPPORTED";
    default:
        return "LIBUSB_ERROR_OTHER";
    }
}

// The texts of the real library's English locale.
const char *libusb_strerror(int errcode)
{
    switch (errcode) {
    case LIBUSB_SUCCESS:
        return "Success";
    case LIBUSB_ERROR_IO:
        return "Input/Output Error";
    case LIBUSB_ERROR_INVALID_PARAM:
        return "Invalid parameter";
    case LIBUSB_ERROR_ACCESS:
        return "Access denied (insufficient permissions)";
    case LIBUSB_ERROR_NO_DEVICE:
        return "No such device (it may have been disconnected)";
    case LIBUSB_ERROR_NOT_FOUND:
        return "Entity not found";
    case LIBUSB_ERROR_BUSY:
        return "Resource busy";
    case LIBUSB_ERROR_TIMEOUT:
        return "Operation timed out";
    case LIBUSB_ERROR_OVERFLOW:
        return "Overflow";
    case LIBUSB_ERROR_PIPE:
        return "Pipe error";
    case LIBUSB_ERROR_INTERRUPTED:
        return "System call interrupted (perhaps due to signal)";
    case LIBUSB_ERROR_NO_MEM:
        return "Insufficient memory";
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return "Operation not supported or unimplemented on this platform";
    default:
        return "Other error";
    }
}
