#include "device/usb_device.h"

#include "device/usb_constants.h"
#include "device/usb_frames.h"

#include <libusb.h>

#include <cstdio>

using namespace UsbLink;

namespace {
QString describeError(int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(libusb_error_name(error)),
                                        QString::fromUtf8(libusb_strerror(error)));
}
} // namespace

UsbDevice::UsbDevice() = default;

UsbDevice::~UsbDevice()
{
    closeDevice();
    if (context)
        libusb_exit(context);
}

bool UsbDevice::findDevice()
{
    // A handle from an earlier connection would stay open for good otherwise.
    closeDevice();
    lastOpenFailure.clear();
    lastStateRead = false;
    if (!context && libusb_init(&context) != 0) {
        context = nullptr;
        return false;
    }
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    bool found = false;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0)
            continue;
        if (descriptor.idVendor != VendorId || descriptor.idProduct != ProductId)
            continue;
        found = true;
        openAndRead(list[i]);
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    return found;
}

// Every match replaces the one before it: the panel keeps the last one.
void UsbDevice::openAndRead(libusb_device *device)
{
    closeDevice();
    lastOpenFailure.clear();
    lastStateRead = false;
    const int opened = libusb_open(device, &handle);
    if (opened != 0) {
        handle = nullptr;
        lastOpenFailure = describeError(opened);
        return;
    }
    libusb_set_configuration(handle, Configuration);
    const int claimed = libusb_claim_interface(handle, Interface);
    if (claimed != 0) {
        lastOpenFailure = describeError(claimed);
        return;
    }
    const bool identified = identify();
    lastStateRead = readStatus() && identified;
}

bool UsbDevice::identify()
{
    const std::uint8_t request = CMD_READ_IDENTITY;
    std::uint8_t reply[IdentityReplyLength] = {};
    const bool received = write(&request, 1) && read(reply, IdentityReplyLength);
    isDxu3 = received && reply[IdentityModelOffset] == Dxu3ModelCode;
    return received;
}

// Asked whether or not the identification went through.
bool UsbDevice::readStatus()
{
    const std::uint8_t request = CMD_READ_STATUS;
    const int length = isDxu3 ? StatusLengthDxu3 : StatusLengthDxu2;
    std::uint8_t status[StatusLengthDxu3] = {};
    if (!write(&request, 1) || !read(status, length))
        return false;
    decodeStatus(status, length);
    return true;
}

void UsbDevice::closeDevice()
{
    if (!handle)
        return;
    libusb_release_interface(handle, Interface);
    libusb_close(handle);
    handle = nullptr;
}

// Configuration and claim come before every command; the configuration's
// result does not matter (it is busy once the interface is claimed).
bool UsbDevice::prepareCommand()
{
    if (!handle)
        return false;
    libusb_set_configuration(handle, Configuration);
    return libusb_claim_interface(handle, Interface) == 0;
}

bool UsbDevice::write(const std::uint8_t *frame, int length)
{
    int transferred = 0;
    const int result = libusb_bulk_transfer(handle, OutEndpoint, const_cast<std::uint8_t *>(frame),
                                            length, &transferred, TimeoutMs);
    return result == 0 && transferred == length;
}

bool UsbDevice::read(std::uint8_t *buffer, int length)
{
    int transferred = 0;
    const int result =
        libusb_bulk_transfer(handle, InEndpoint, buffer, length, &transferred, TimeoutMs);
    return result == 0 && transferred == length;
}

// A frame and its one-byte acknowledgement; only the arrival counts.
bool UsbDevice::command(const std::uint8_t *frame, int length)
{
    if (!prepareCommand() || !write(frame, length))
        return false;
    std::uint8_t acknowledge = 0;
    return read(&acknowledge, AcknowledgeLength);
}

bool UsbDevice::sendSettings()
{
    const UsbFrame frame = settingsFrame(settings, isDxu3);
    return command(frame.data(), static_cast<int>(frame.size()));
}

bool UsbDevice::runGenerators(bool gen1, bool gen2)
{
    const auto frame = controlFrame(runFlags(gen1, gen2));
    return command(frame.data(), ControlFrameLength);
}

bool UsbDevice::resetGenerators(bool gen1, bool gen2)
{
    const auto frame = controlFrame(resetFlags(gen1, gen2));
    return command(frame.data(), ControlFrameLength);
}

bool UsbDevice::readIdentity(std::uint8_t reply[32])
{
    if (!prepareCommand())
        return true;
    const std::uint8_t request = CMD_READ_IDENTITY;
    if (!write(&request, 1)) {
        std::fputs("Can't write to device\n", stderr);
        return false;
    }
    if (!read(reply, IdentityReplyLength)) {
        std::fputs("Can't read from device\n", stderr);
        return false;
    }
    return true;
}

bool UsbDevice::writeNetworkBlock()
{
    const UsbFrame frame = networkFrame(networkBlock);
    return prepareCommand() && write(frame.data(), static_cast<int>(frame.size()));
}

void UsbDevice::decodeStatus(const std::uint8_t *frame, int length)
{
    decodeStatusFrame(frame, length, settings);
}
