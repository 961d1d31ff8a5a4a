#pragma once

// The instrument's USB link: identification, endpoints, command codes and
// control flags.

#include <cstdint>

namespace UsbLink {

constexpr std::uint16_t VendorId = 0x03EB;
constexpr std::uint16_t ProductId = 0x204F;
constexpr int Configuration = 1;
constexpr int Interface = 0;
constexpr unsigned char OutEndpoint = 0x02;
constexpr unsigned char InEndpoint = 0x81;
constexpr unsigned int TimeoutMs = 1000;
// Reading away what an earlier exchange left on the IN endpoint: short reads
// of a whole number of packets, a few at most.
constexpr unsigned int DrainTimeoutMs = 20;
constexpr int DrainBufferLength = 512;
constexpr int MaxDrainReads = 8;

// The first byte of every frame.
constexpr std::uint8_t CMD_READ_IDENTITY = 0x07;
constexpr std::uint8_t CMD_WRITE_NETWORK = 0x08;
constexpr std::uint8_t CMD_WRITE_SETTINGS = 0x09;
constexpr std::uint8_t CMD_READ_STATUS = 0x0A;
constexpr std::uint8_t CMD_CONTROL = 0x0B;

// The flag byte of a control frame: reset bits or run bits, never both.
constexpr std::uint8_t CTRL_RESET1 = 0x01;
constexpr std::uint8_t CTRL_RESET2 = 0x02;
constexpr std::uint8_t CTRL_RUN1 = 0x04;
constexpr std::uint8_t CTRL_RUN2 = 0x08;

// Frame and reply sizes.
constexpr int IdentityReplyLength = 32;
constexpr int IdentityModelOffset = 10;
constexpr std::uint8_t Dxu3ModelCode = 3;
constexpr int NetworkBlockLength = 19;
constexpr int NetworkFrameLength = 1 + NetworkBlockLength;
constexpr int SettingsFrameLengthDxu2 = 53;
constexpr int SettingsFrameLengthDxu3 = 57;
constexpr int StatusLengthDxu2 = 52;
constexpr int StatusLengthDxu3 = 56;
constexpr int ControlFrameLength = 2;
constexpr int AcknowledgeLength = 1;

// A DXU2 has no adjustable threshold; its status reads as this level.
constexpr float Dxu2ThresholdVolts = 5.0f;

} // namespace UsbLink
