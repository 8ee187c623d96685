#pragma once
// Files for the maintenance jobs' tests: raw bytes, Intel hex text, .rom containers.

#include <cstdint>
#include <string>
#include <vector>

namespace linktest {

// File helpers for the jobs.
std::string writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);
bool fileExists(const std::string& path);
// Intel hex text for bytes placed at address 0 (16 bytes a record, an end record).
std::string intelHex(const std::vector<uint8_t>& bytes);
// A .rom container around hex text, for target kind 2 or 18.
std::vector<uint8_t> romContainer(const std::string& hexText, int targetKind);
// Names in the folder, and whether a temporary file was left among them.
std::vector<std::string> folderEntries(const std::string& folder);
bool noTemporaryFiles(const std::string& folder);
// Pseudo-random bytes, different for every seed.
std::vector<uint8_t> pattern(size_t n, unsigned seed);
// The bytes as an Intel hex file.
std::string writeHex(const std::string& path, const std::vector<uint8_t>& bytes);
// The 64 KiB of motion data at e000 in a controller's memory image (empty if it is too short).
std::vector<uint8_t> motionOf(const std::vector<uint8_t>& memory);

} // namespace linktest
