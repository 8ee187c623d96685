#pragma once
// The sample firmware files under data/samples/: small, deterministic, valid images that the
// demos, the simulator and the end-to-end tests can send. Each image carries a version text
// between '[' and ']' (the form the controller's banner uses), so a simulator may show it.

#include "firmware/FirmwareTestFiles.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace firmware::testfiles {

inline constexpr std::string_view kSampleFirmwareVersion = "[KZ-7 firmware v1.20 (sample)]";
inline constexpr std::string_view kSampleServoVersion = "[VQ servo firmware v2.04 (sample)]";
inline constexpr std::size_t kSampleFirmwareSize = 0x1000;
inline constexpr std::size_t kSampleVersionAddress = 0x0100;
inline constexpr std::size_t kSampleServoSize = 0x0400;

// Code-like filler from a fixed linear congruential sequence, with the version text placed at
// kSampleVersionAddress.
inline std::vector<std::uint8_t> sampleImage(std::size_t size, std::string_view version, std::uint32_t seed)
{
    std::vector<std::uint8_t> image(size);
    std::uint32_t state = seed;
    for (auto& b : image) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    for (std::size_t i = 0; i < version.size(); ++i)
        image[kSampleVersionAddress + i] = static_cast<std::uint8_t>(version[i]);
    return image;
}

inline std::vector<std::uint8_t> sampleFirmwareImage()
{
    return sampleImage(kSampleFirmwareSize, kSampleFirmwareVersion, 0x4B5A37u);
}

inline std::vector<std::uint8_t> sampleServoImage()
{
    return sampleImage(kSampleServoSize, kSampleServoVersion, 0x56510204u);
}

// Controller firmware as Intel hex, 16 bytes per record.
inline std::string sampleFirmwareHex()
{
    return hexFromImage(sampleFirmwareImage());
}

// Servo firmware as a .rom container for the given target kind.
inline std::vector<std::uint8_t> sampleServoRom(int targetKind)
{
    return encodeRom(hexFromImage(sampleServoImage()), targetKind);
}

struct SampleFile {
    const char* name;
    std::string bytes;
};

inline std::vector<SampleFile> sampleFiles()
{
    auto str = [](const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); };
    return {
        {"kz7-firmware.hex", sampleFirmwareHex()},
        {"vq-servo.rom", str(sampleServoRom(2))},
        {"vq-module.rom", str(sampleServoRom(18))},
    };
}

} // namespace firmware::testfiles
