// Placeholder until the USB link is written: no instrument is ever found.
#include "device/usb_device.h"

UsbDevice::UsbDevice() = default;
UsbDevice::~UsbDevice() = default;
bool UsbDevice::findDevice() { return false; }
void UsbDevice::closeDevice() {}
bool UsbDevice::sendSettings() { return false; }
bool UsbDevice::runGenerators(bool, bool) { return false; }
bool UsbDevice::resetGenerators(bool, bool) { return false; }
bool UsbDevice::readIdentity(std::uint8_t *) { return false; }
bool UsbDevice::writeNetworkBlock() { return false; }
void UsbDevice::decodeStatus(const std::uint8_t *, int) {}
