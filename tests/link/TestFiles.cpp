#include "TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace linktest {

std::string writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string intelHex(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char line[80];
    for (size_t at = 0; at < bytes.size(); at += 16) {
        size_t n = std::min<size_t>(16, bytes.size() - at);
        unsigned sum = static_cast<unsigned>(n + (at >> 8) + (at & 0xFF));
        int pos = std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(n),
                                static_cast<unsigned>(at));
        for (size_t i = 0; i < n; ++i) {
            pos += std::snprintf(line + pos, sizeof line - static_cast<size_t>(pos), "%02X", bytes[at + i]);
            sum += bytes[at + i];
        }
        std::snprintf(line + pos, sizeof line - static_cast<size_t>(pos), "%02X\n",
                      (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    return text + ":00000001FF\n";
}

std::vector<uint8_t> romContainer(const std::string& hexText, int targetKind)
{
    std::vector<uint8_t> rom;
    auto word = [&rom](unsigned w) {
        rom.push_back(static_cast<uint8_t>(w & 0xFF));
        rom.push_back(static_cast<uint8_t>(w >> 8));
    };
    for (unsigned w : {1u, 48u, 5u, 112u, 9u, static_cast<unsigned>(targetKind), 1u})
        word(w);
    for (size_t i = 0; i < hexText.size(); ++i)
        word(static_cast<uint8_t>(hexText[i]) ^ static_cast<uint8_t>(i & 0xFF));
    return rom;
}

std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

bool noTemporaryFiles(const std::string& folder)
{
    for (const auto& name : folderEntries(folder))
        if (name.find(".tmp") != std::string::npos)
            return false;
    return true;
}

std::vector<uint8_t> pattern(size_t n, unsigned seed)
{
    std::vector<uint8_t> bytes(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

std::string writeHex(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::string hex = intelHex(bytes);
    return writeFile(path, std::vector<uint8_t>(hex.begin(), hex.end()));
}

std::vector<uint8_t> motionOf(const std::vector<uint8_t>& memory)
{
    constexpr size_t kAt = 0xE000, kSize = 0x10000;
    if (memory.size() < kAt + kSize)
        return {};
    return std::vector<uint8_t>(memory.begin() + kAt, memory.begin() + kAt + kSize);
}

} // namespace linktest
