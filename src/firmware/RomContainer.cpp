#include "firmware/RomContainer.h"

#include "firmware/CFile.h"

#include <array>
#include <cstdio>
#include <vector>

namespace firmware {

namespace {

constexpr std::array<std::uint16_t, 7> kHeader = {1, 48, 5, 112, 9, 0, 1}; // word 5: target kind
constexpr std::size_t kTargetWord = 5;

std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t index)
{
    return static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

bool failWith(RomError* error, RomError value)
{
    if (error)
        *error = value;
    return false;
}

} // namespace

bool unpackRom(std::span<const std::uint8_t> bytes, RomContents& out, RomError* error)
{
    if (bytes.size() < kRomHeaderBytes)
        return failWith(error, RomError::TooShort);
    const std::size_t words = bytes.size() / 2 - kHeader.size();
    if (words > kRomMaxPayloadWords)
        return failWith(error, RomError::TooLong);
    for (std::size_t i = 0; i < kHeader.size(); ++i) {
        if (i != kTargetWord && wordAt(bytes, i) != kHeader[i])
            return failWith(error, RomError::BadHeader);
    }
    const int kind = wordAt(bytes, kTargetWord);
    if (kind != kRomTargetServos && kind != kRomTargetModules)
        return failWith(error, RomError::BadHeader);

    std::string text(words, '\0');
    const std::uint8_t* payload = bytes.data() + kRomHeaderBytes;
    for (std::size_t i = 0; i < words; ++i)
        text[i] = static_cast<char>(payload[2 * i] ^ static_cast<std::uint8_t>(i));
    out.targetKind = kind;
    out.hexText = std::move(text);
    if (error)
        *error = RomError::None;
    return true;
}

bool unpackRom(const std::string& path, RomContents& out, RomError* error)
{
    CFile file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return failWith(error, RomError::CannotOpen);
    // One byte more than the largest valid container tells a too-long file apart without
    // reading an arbitrarily large one.
    std::vector<std::uint8_t> bytes(kRomMaxFileBytes + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()))
        return failWith(error, RomError::ReadFailed);
    bytes.resize(got);
    return unpackRom(std::span<const std::uint8_t>(bytes), out, error);
}

std::string_view romUpdateCommand(int targetKind)
{
    switch (targetKind) {
    case kRomTargetServos:
        return "update 0 30\r";
    case kRomTargetModules:
        return "update 100 109\r";
    default:
        return {};
    }
}

std::string romErrorText(RomError error)
{
    switch (error) {
    case RomError::None:
        return {};
    case RomError::CannotOpen:
        return "cannot open the file";
    case RomError::ReadFailed:
        return "cannot read the file";
    case RomError::TooShort:
        return "shorter than the 14-byte header";
    case RomError::TooLong:
        return "more than 65535 payload words";
    case RomError::BadHeader:
        return "not a servo program container (header or target kind)";
    }
    return {};
}

} // namespace firmware
