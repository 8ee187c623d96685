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
// Names in the folder (to find stray temporary files).
std::vector<std::string> folderEntries(const std::string& folder);

} // namespace linktest
