#pragma once

#include "device/usb_constants.h"
#include "device/usb_settings_block.h"

#include <QString>

#include <cstdint>
#include <functional>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

// The instrument on USB: discovery by vendor and product ID, identification of
// the model, and the synchronous bulk commands. The claim is repeated before
// every command (the configuration is set only when the device is in another
// one); a command succeeds only when every transfer moved exactly its frame's
// length. A failed transfer fails its command and is never retried, but what
// it leaves behind is mended before the next one: a halted endpoint is
// cleared at once, and input that may still be on its way (a late or split
// reply) is read away before the next command, as it is after opening.
class UsbDevice
{
public:
    // Why the last findDevice() connected to nothing.
    enum class FindFailure {
        None,       // an instrument is open
        NotFound,   // no device with the instrument's IDs
        CannotOpen, // seen, but none could be opened and claimed
        BadAnswer,  // opened, but none answered with a complete, plausible state
    };

    UsbDevice();
    ~UsbDevice();
    UsbDevice(const UsbDevice &) = delete;
    UsbDevice &operator=(const UsbDevice &) = delete;

    // Goes through the matching devices in list order and keeps the first
    // that opens, claims and answers the identification and the status read
    // in full with plausible settings; true when one did. The others are
    // closed. Model and settings change only when an instrument is kept.
    bool findDevice();
    void closeDevice();
    FindFailure findFailure() const { return lastFindFailure; }
    // True when, since the last findDevice(), a transfer or claim found the
    // instrument gone from the bus (LIBUSB_ERROR_NO_DEVICE). Its handle was
    // closed then: a handle never comes back, so only a new findDevice()
    // reaches the instrument once it is plugged in again.
    bool wasUnplugged() const { return unplugged; }
    // The cause of the failure, in the library's words or the reply's fault.
    QString failureCause() const { return lastFailureCause; }

    // Each returns whether every transfer of the command went through; a
    // command whose claim fails sends nothing and counts as failed.
    bool sendSettings(const UsbSettingsBlock &block);
    bool runGenerators(bool gen1, bool gen2);
    bool resetGenerators(bool gen1, bool gen2);
    // False when the claim failed, the request did not go out or fewer than
    // 32 bytes came back (the last two with a line on standard error).
    bool readIdentity(std::uint8_t reply[32]);
    bool writeNetworkBlock(const std::uint8_t (&block)[UsbLink::NetworkBlockLength]);

    // Called with every frame before it goes out (a traffic log), when set.
    using FrameTrace = std::function<void(const std::uint8_t *frame, int length)>;
    void setFrameTrace(FrameTrace trace) { frameTrace = std::move(trace); }

    // The model and the settings the kept instrument reported when found.
    bool isDxu3() const { return dxu3; }
    const UsbSettingsBlock &status() const { return reported; }

private:
    bool openAndRead(libusb_device *device);
    int claim();
    bool readState(bool &dxu3, UsbSettingsBlock &block);
    void fail(FindFailure failure, const QString &cause);
    bool prepareCommand();
    bool drainInput();
    void transferFailed(int result, unsigned char endpoint);
    void noteGone(int result);
    bool write(const std::uint8_t *frame, int length);
    bool read(std::uint8_t *buffer, int length);
    bool command(const std::uint8_t *frame, int length);

    FrameTrace frameTrace;
    bool dxu3 = false;
    UsbSettingsBlock reported;
    libusb_context *context = nullptr;
    libusb_device_handle *handle = nullptr;
    bool unplugged = false;
    bool inputMayBeStale = false; // an exchange did not end cleanly since the last drain
    FindFailure lastFindFailure = FindFailure::None;
    QString lastFailureCause;
};
