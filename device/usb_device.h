#pragma once

#include "device/usb_settings_block.h"

#include <QString>

#include <cstdint>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

// The instrument on USB: discovery by vendor and product ID, identification of
// the model, and the synchronous bulk commands. Configuration and claim are
// repeated before every command; a command succeeds only when every transfer
// moved exactly its frame's length.
class UsbDevice
{
public:
    UsbDevice();
    ~UsbDevice();
    UsbDevice(const UsbDevice &) = delete;
    UsbDevice &operator=(const UsbDevice &) = delete;

    // Opens, identifies and reads every matching instrument in list order;
    // true when at least one was seen. The handle of the last one is kept.
    bool findDevice();
    void closeDevice();

    // Each returns whether every transfer of the command went through; a
    // command whose claim fails sends nothing and counts as failed.
    bool sendSettings();
    bool runGenerators(bool gen1, bool gen2);
    bool resetGenerators(bool gen1, bool gen2);
    // False when the request did not go out or fewer than 32 bytes came
    // back (with a line on standard error). When the claim fails nothing is
    // sent, the buffer keeps its contents and the result is true.
    bool readIdentity(std::uint8_t reply[32]);
    bool writeNetworkBlock();

    void decodeStatus(const std::uint8_t *frame, int length);

    bool isDxu3 = false;
    UsbSettingsBlock settings;
    std::uint8_t networkBlock[19] = {};

    // Why the last matching instrument could not be opened or claimed, in the
    // library's words; empty when it could.
    QString openFailure() const { return lastOpenFailure; }
    // Whether the last matching instrument sent its identity and its status
    // in full.
    bool stateReadInFull() const { return lastStateRead; }

private:
    void openAndRead(libusb_device *device);
    bool identify();
    bool readStatus();
    bool prepareCommand();
    bool write(const std::uint8_t *frame, int length);
    bool read(std::uint8_t *buffer, int length);
    bool command(const std::uint8_t *frame, int length);

    libusb_context *context = nullptr;
    libusb_device_handle *handle = nullptr;
    QString lastOpenFailure;
    bool lastStateRead = false;
};
