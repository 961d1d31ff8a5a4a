#include "device/usb_device.h"

#include "device/usb_constants.h"
#include "device/usb_frames.h"

#include <libusb.h>

#include <QCoreApplication>

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
    unplugged = false;
    lastFindFailure = FindFailure::NotFound;
    lastFailureCause.clear();
    if (!context && libusb_init(&context) != 0) {
        context = nullptr;
        return false;
    }
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    bool kept = false;
    for (ssize_t i = 0; i < count && !kept; ++i) {
        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0)
            continue;
        if (descriptor.idVendor != VendorId || descriptor.idProduct != ProductId)
            continue;
        kept = openAndRead(list[i]);
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    if (kept) {
        lastFindFailure = FindFailure::None;
        lastFailureCause.clear();
    }
    return kept;
}

// Keeps the device open only when it answers as an instrument does.
bool UsbDevice::openAndRead(libusb_device *device)
{
    const int opened = libusb_open(device, &handle);
    if (opened != 0) {
        handle = nullptr;
        fail(FindFailure::CannotOpen, describeError(opened));
        return false;
    }
    // Where the platform allows, a kernel driver bound to the interface is
    // detached while the panel holds it and given back on release.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int claimed = claim();
    bool readDxu3 = false;
    UsbSettingsBlock block = reported;
    if (claimed != 0)
        fail(FindFailure::CannotOpen, describeError(claimed));
    // Another program may have left a reply behind.
    inputMayBeStale = true;
    if (claimed != 0 || !drainInput() || !readState(readDxu3, block)) {
        closeDevice();
        return false;
    }
    dxu3 = readDxu3;
    reported = block;
    return true;
}

// The identification and the status, each read in full; a status that
// cannot be the instrument's settings counts as no answer.
bool UsbDevice::readState(bool &dxu3, UsbSettingsBlock &block)
{
    const std::uint8_t identify = CMD_READ_IDENTITY;
    std::uint8_t identity[IdentityReplyLength] = {};
    if (!write(&identify, 1) || !read(identity, IdentityReplyLength)) {
        fail(FindFailure::BadAnswer,
             QCoreApplication::translate("UsbDevice", "no complete identification"));
        return false;
    }
    dxu3 = identity[IdentityModelOffset] == Dxu3ModelCode;
    const std::uint8_t request = CMD_READ_STATUS;
    const int length = dxu3 ? StatusLengthDxu3 : StatusLengthDxu2;
    std::uint8_t status[StatusLengthDxu3] = {};
    if (!write(&request, 1) || !read(status, length)) {
        fail(FindFailure::BadAnswer,
             QCoreApplication::translate("UsbDevice", "no complete status"));
        return false;
    }
    decodeStatusFrame(status, length, block);
    if (!isPlausibleStatus(block)) {
        fail(FindFailure::BadAnswer,
             QCoreApplication::translate("UsbDevice", "settings out of range"));
        return false;
    }
    return true;
}

// Of several failing devices the one that came furthest is reported.
void UsbDevice::fail(FindFailure failure, const QString &cause)
{
    if (failure < lastFindFailure)
        return;
    lastFindFailure = failure;
    lastFailureCause = cause;
}

void UsbDevice::closeDevice()
{
    if (!handle)
        return;
    libusb_release_interface(handle, Interface);
    libusb_close(handle);
    handle = nullptr;
}

// Setting the configuration of a configured device is a lightweight reset
// (and busy while the interface is claimed): it is set only when the device
// is in another one.
int UsbDevice::claim()
{
    int current = -1;
    if (libusb_get_configuration(handle, &current) != 0 || current != Configuration)
        libusb_set_configuration(handle, Configuration);
    return libusb_claim_interface(handle, Interface);
}

// The claim comes before every command (a no-op while it is held), then
// whatever an earlier exchange left on the IN endpoint goes.
bool UsbDevice::prepareCommand()
{
    if (!handle)
        return false;
    const int claimed = claim();
    noteGone(claimed);
    return claimed == 0 && drainInput();
}

// Short reads until one times out empty. Input that does not stop within a
// few reads fails the command rather than answer for it.
bool UsbDevice::drainInput()
{
    std::uint8_t scrap[DrainBufferLength];
    for (int i = 0; inputMayBeStale && i < MaxDrainReads; ++i) {
        int transferred = 0;
        const int result = libusb_bulk_transfer(handle, InEndpoint, scrap, DrainBufferLength,
                                                &transferred, DrainTimeoutMs);
        if (result == LIBUSB_ERROR_TIMEOUT && transferred == 0)
            inputMayBeStale = false;
        else if (result != 0 && result != LIBUSB_ERROR_OVERFLOW)
            transferFailed(result, InEndpoint);
        if (!handle)
            return false;
    }
    return !inputMayBeStale;
}

// Whatever failed, the answer may still come; a halted endpoint is cleared
// so that the next command can pass.
void UsbDevice::transferFailed(int result, unsigned char endpoint)
{
    inputMayBeStale = true;
    if (result == LIBUSB_ERROR_PIPE)
        libusb_clear_halt(handle, endpoint);
    noteGone(result);
}

// An instrument gone from the bus leaves a handle that stays dead even when it
// comes back: it is closed at once.
void UsbDevice::noteGone(int result)
{
    if (result != LIBUSB_ERROR_NO_DEVICE)
        return;
    unplugged = true;
    closeDevice();
}

bool UsbDevice::write(const std::uint8_t *frame, int length)
{
    if (frameTrace)
        frameTrace(frame, length);
    int transferred = 0;
    const int result = libusb_bulk_transfer(handle, OutEndpoint, const_cast<std::uint8_t *>(frame),
                                            length, &transferred, TimeoutMs);
    if (result == 0 && transferred == length)
        return true;
    transferFailed(result, OutEndpoint);
    return false;
}

bool UsbDevice::read(std::uint8_t *buffer, int length)
{
    int transferred = 0;
    const int result =
        libusb_bulk_transfer(handle, InEndpoint, buffer, length, &transferred, TimeoutMs);
    if (result == 0 && transferred == length)
        return true;
    transferFailed(result, InEndpoint);
    return false;
}

// A frame and its one-byte acknowledgement; only the arrival counts.
bool UsbDevice::command(const std::uint8_t *frame, int length)
{
    if (!prepareCommand() || !write(frame, length))
        return false;
    std::uint8_t acknowledge = 0;
    return read(&acknowledge, AcknowledgeLength);
}

bool UsbDevice::sendSettings(const UsbSettingsBlock &block)
{
    const UsbFrame frame = settingsFrame(block, dxu3);
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
        return false;
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

bool UsbDevice::writeNetworkBlock(const std::uint8_t (&block)[NetworkBlockLength])
{
    const UsbFrame frame = networkFrame(block);
    return prepareCommand() && write(frame.data(), static_cast<int>(frame.size()));
}
