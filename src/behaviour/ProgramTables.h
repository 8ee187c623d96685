#pragma once
// The tables a rule check builds for the code generator, and the image the generator writes.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace behaviour {

// Symbolic names used by operands; a name's position is the number written for it.
struct NameTable {
    static constexpr int Capacity = 50;
    std::vector<std::string> names;

    int count() const { return static_cast<int>(names.size()); }
    // Position of the name, or -1. Names compare byte for byte.
    int find(const std::string& name) const;
    void clear() { names.clear(); }
};

struct LabelEntry {
    std::string name;
    int address = 0; // offset of the line's first byte in the image
};

// Labelled lines between START and END with their byte addresses. Grows as needed.
struct LabelTable {
    std::vector<LabelEntry> labels;

    int count() const { return static_cast<int>(labels.size()); }
    // Index of the label, or -1.
    int find(const std::string& name) const;
    void clear() { labels.clear(); }
};

// Where the code of each program line starts in the image, in line order: the generator writes
// it as it encodes, so it always agrees with the bytes. Lines that generate nothing (before
// START, after END, disabled or never edited) are not in it. A debugger maps the offsets the
// controller stops at back to lines with it, and breakpoints on lines to offsets.
struct LineAddressTable {
    struct Entry {
        int line = 0;
        int address = 0;
    };
    std::vector<Entry> entries;

    // The offset where the line's code starts, or -1.
    int addressOf(int line) const;
    // The line whose code starts at the offset, or -1.
    int lineAt(int address) const;
    void clear() { entries.clear(); }
};

// The bytes the controller stores at its program area. length counts the instruction bytes; the
// checksum sits at bytes[length], so a download sends length + 1 bytes.
struct ProgramImage {
    static constexpr int Capacity = 8192;
    std::array<uint8_t, Capacity> bytes{};
    int length = 0;

    // The bytes to send: image and checksum; empty when nothing was generated.
    std::vector<uint8_t> download() const;
    uint8_t checksum() const { return length > 0 ? bytes[length] : 0; }
};

} // namespace behaviour
