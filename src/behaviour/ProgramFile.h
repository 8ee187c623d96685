#pragma once
// The ".tpg" program file and the "Linecraft" clipboard block. Both are read from memory with
// every length checked against the bytes that are left, into scratch lines; a program or block
// is taken only when all of it read cleanly.

#include "behaviour/BehaviorProgram.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace behaviour {

inline constexpr int32_t ProgramSignature = 1000;
inline constexpr const char* ClipboardFormatName = "Linecraft";
// Larger files are refused before they are read; a full program of ordinary texts is about 1 MB.
inline constexpr size_t MaxProgramFileSize = size_t{64} * 1024 * 1024;

enum class LoadError {
    None,
    NotProgramFile, // wrong signature
    Truncated,      // the file ends inside a record
    BadLineCount,   // negative or above 1000
    BadLength,      // a text longer than the bytes left, or a malformed length
    Unreadable,     // the file could not be opened or read
    TooLarge,       // larger than MaxProgramFileSize
};

struct LoadResult {
    bool ok = false;
    LoadError error = LoadError::None;
    std::string message; // what the user is shown; empty on success
};

struct SaveResult {
    bool ok = false;
    std::string message;
};

// The whole program in file form.
std::vector<uint8_t> serializeProgram(const BehaviorProgram& program);
// Reads a program file image. On failure `program` is left exactly as it was.
LoadResult parseProgram(const uint8_t* data, size_t size, BehaviorProgram& program);
inline LoadResult parseProgram(const std::vector<uint8_t>& bytes, BehaviorProgram& program)
{
    return parseProgram(bytes.data(), bytes.size(), program);
}

bool saveProgram(std::ostream& out, const BehaviorProgram& program);
LoadResult loadProgram(std::istream& in, BehaviorProgram& program);

// Writes a temporary file beside `path` and renames it over the target, so a failed save leaves
// the previous file as it was.
SaveResult saveProgramFile(const std::string& path, const BehaviorProgram& program);
LoadResult loadProgramFile(const std::string& path, BehaviorProgram& program);
// Any bytes, written the same atomic way (used for images).
SaveResult saveBytesFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Clipboard block: a 32-bit line count and that many line records.
std::vector<uint8_t> writeLineBlock(const std::vector<const ProgramLine*>& lines);
// False for a negative count, a count above maxLines, or a block that ends early; `lines` then
// stays empty.
bool readLineBlock(const std::vector<uint8_t>& block, int maxLines, std::vector<ProgramLine>& lines);

// String form used in both: 1 byte below 255, 0xFF + 16 bits below 65534, else 0xFF 0xFFFF + 32 bits.
void writeString(std::vector<uint8_t>& out, const std::string& s);

} // namespace behaviour
