#include "behaviour/ProgramFile.h"

#include "behaviour/CommandCatalogue.h"
#include "behaviour/ProgramMessages.h"
#include "platform/AtomicFile.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>

namespace behaviour {

namespace {

size_t stringSize(const std::string& s)
{
    const size_t n = s.size();
    return (n < 255 ? 1 : n < 0xFFFE ? 3 : 7) + n;
}

size_t lineRecordSize(const ProgramLine& line)
{
    size_t size = 2 + stringSize(line.label) + stringSize(line.comment);
    for (const auto& c : line.cells)
        size += 2 + 16 + stringSize(c.gridText) + stringSize(c.fullText) + stringSize(c.idName) +
                stringSize(c.text) + 5;
    for (const auto& s : line.separators)
        size += 12 + stringSize(s.text);
    return size;
}

// Writes into a buffer sized beforehand with lineRecordSize.
class Writer {
  public:
    explicit Writer(uint8_t* p) : p_(p) {}
    uint8_t* position() const { return p_; }
    void u8(uint8_t v) { *p_++ = v; }
    void u16(uint16_t v)
    {
        p_[0] = static_cast<uint8_t>(v);
        p_[1] = static_cast<uint8_t>(v >> 8);
        p_ += 2;
    }
    void i32(int32_t v)
    {
        auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            p_[i] = static_cast<uint8_t>(u >> (8 * i));
        p_ += 4;
    }
    void string(const std::string& s)
    {
        const size_t n = s.size();
        if (n < 255) {
            u8(static_cast<uint8_t>(n));
        } else if (n < 0xFFFE) {
            u8(0xFF);
            u16(static_cast<uint16_t>(n));
        } else {
            u8(0xFF);
            u16(0xFFFF);
            i32(static_cast<int32_t>(static_cast<uint32_t>(n)));
        }
        if (n > 0)
            std::memcpy(p_, s.data(), n);
        p_ += n;
    }

  private:
    uint8_t* p_;
};

void writeLine(Writer& w, const ProgramLine& line)
{
    w.u16(static_cast<uint16_t>(line.flags & ~LineFlag::Selected));
    w.string(line.label);
    w.string(line.comment);
    for (const auto& c : line.cells) {
        w.u16(c.flags);
        w.i32(c.style);
        w.i32(c.entry);
        w.i32(c.id);
        w.i32(c.value);
        w.string(c.gridText);
        w.string(c.fullText);
        w.string(c.idName);
        w.string(c.text);
        for (uint8_t b : c.code)
            w.u8(b);
    }
    for (const auto& s : line.separators) {
        w.i32(s.kind);
        w.i32(s.shown);
        w.i32(s.entry);
        w.string(s.text);
    }
}

// Appends a 32-bit count and the line records.
template <typename Lines>
std::vector<uint8_t> writeRecords(size_t headerSize, const Lines& lines, size_t count)
{
    size_t size = headerSize;
    for (size_t i = 0; i < count; ++i)
        size += lineRecordSize(lines(i));
    std::vector<uint8_t> out(size);
    Writer w(out.data() + headerSize);
    for (size_t i = 0; i < count; ++i)
        writeLine(w, lines(i));
    return out;
}

// Windows-1252 for the UCS-2 characters 0x80..0x9F map back to bytes 0x80..0x9F.
char toCodePage(uint16_t ch)
{
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<char>(ch);
    for (int i = 0; i < 32; ++i)
        if (high[i] != 0 && high[i] == ch)
            return static_cast<char>(0x80 + i);
    return '?';
}

// flags, two empty strings, ten cells of 2 + 16 + 4 + 5 bytes, nine separators of 12 + 1 bytes.
constexpr uint64_t MinLineRecordSize = 2 + 2 + 10 * (2 + 16 + 4 + 5) + 9 * (12 + 1);

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size), begin_(data) {}

    bool ok() const { return error_ == LoadError::None; }
    LoadError error() const { return error_; }
    size_t offset() const { return static_cast<size_t>(p_ - begin_); }
    size_t left() const { return static_cast<size_t>(end_ - p_); }
    size_t errorOffset() const { return errorOffset_; }
    uint64_t badLength() const { return badLength_; }

    uint8_t u8()
    {
        if (!need(1))
            return 0;
        return *p_++;
    }
    uint16_t u16()
    {
        if (!need(2))
            return 0;
        uint16_t v = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
        p_ += 2;
        return v;
    }
    uint32_t u32()
    {
        if (!need(4))
            return 0;
        uint32_t v = static_cast<uint32_t>(p_[0]) | (static_cast<uint32_t>(p_[1]) << 8) |
                     (static_cast<uint32_t>(p_[2]) << 16) | (static_cast<uint32_t>(p_[3]) << 24);
        p_ += 4;
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }

    void string(std::string& out)
    {
        uint64_t n = 0;
        bool wide = false;
        if (!stringLength(n, wide))
            return;
        if (wide) {
            out.resize(static_cast<size_t>(n));
            for (size_t i = 0; i < n; ++i) {
                uint16_t ch = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
                out[i] = toCodePage(ch);
                p_ += 2;
            }
        } else {
            out.assign(reinterpret_cast<const char*>(p_), static_cast<size_t>(n));
            p_ += n;
        }
    }

    void skipString()
    {
        uint64_t n = 0;
        bool wide = false;
        if (stringLength(n, wide))
            p_ += wide ? n * 2 : n;
    }

    void skip(size_t n)
    {
        if (need(n))
            p_ += n;
    }

    void fail(LoadError e, size_t at)
    {
        if (ok()) {
            error_ = e;
            errorOffset_ = at;
        }
    }

  private:
    // Reads a length prefix and checks that the text it announces is there, before anything is
    // allocated for it.
    bool stringLength(uint64_t& n, bool& wide)
    {
        const size_t start = offset();
        const uint8_t b = u8();
        if (!ok())
            return false;
        n = b;
        wide = false;
        if (b == 0xFF) {
            const uint16_t w = u16();
            if (w == 0xFFFE) {
                wide = true;
                n = length(start);
            } else if (w == 0xFFFF) {
                n = u32();
            } else {
                n = w;
            }
        }
        if (!ok())
            return false;
        const uint64_t bytes = wide ? n * 2 : n;
        if (bytes > left()) {
            fail(LoadError::BadLength, start);
            badLength_ = bytes;
            return false;
        }
        return true;
    }

    // The length of a 16-bit-character string, in the same 1/3/7-byte form.
    uint64_t length(size_t start)
    {
        uint8_t b = u8();
        if (b != 0xFF)
            return b;
        uint16_t w = u16();
        if (w == 0xFFFF)
            return u32();
        if (w == 0xFFFE)
            fail(LoadError::BadLength, start); // a wide marker inside a wide marker means nothing
        return w;
    }

    bool need(size_t n)
    {
        if (!ok())
            return false;
        if (left() < n) {
            fail(LoadError::Truncated, offset());
            p_ = end_;
            return false;
        }
        return true;
    }

    const uint8_t* p_;
    const uint8_t* end_;
    const uint8_t* begin_;
    LoadError error_ = LoadError::None;
    size_t errorOffset_ = 0;
    uint64_t badLength_ = 0;
};

// A catalogue index that is neither an entry nor "none" is taken as "none".
int32_t checkedEntry(int32_t entry)
{
    return CommandCatalogue::instance().valid(entry) ? entry : NoEntry;
}

void readLine(Reader& r, ProgramLine& line)
{
    line.flags = static_cast<uint16_t>(r.u16() & ~LineFlag::Selected);
    r.string(line.label);
    r.string(line.comment);
    for (auto& c : line.cells) {
        c.flags = r.u16();
        c.style = r.i32();
        c.entry = checkedEntry(r.i32());
        c.id = r.i32();
        c.value = r.i32();
        r.string(c.gridText);
        r.string(c.fullText);
        r.string(c.idName);
        r.string(c.text);
        for (auto& b : c.code)
            b = r.u8();
        if (!r.ok())
            return;
    }
    for (auto& s : line.separators) {
        s.kind = r.i32();
        s.shown = r.i32();
        s.entry = checkedEntry(r.i32());
        r.string(s.text);
        if (!r.ok())
            return;
    }
}

// Walks a line record without keeping it: the first of the two passes of a load.
void skipLine(Reader& r)
{
    r.skip(2);
    r.skipString();
    r.skipString();
    for (int i = 0; i < CellsPerLine && r.ok(); ++i) {
        r.skip(2 + 16);
        for (int k = 0; k < 4; ++k)
            r.skipString();
        r.skip(5);
    }
    for (int i = 0; i < SeparatorsPerLine && r.ok(); ++i) {
        r.skip(12);
        r.skipString();
    }
}

// Texts are rebuilt from the codes so a program always shows the current vocabulary.
void rebuildTexts(ProgramLine& line)
{
    const CommandCatalogue& cat = CommandCatalogue::instance();
    const std::string blank(taskloom::text(Msg::DoubleClick));
    for (auto& c : line.cells) {
        if (!c.inUse())
            continue;
        const uint8_t category = c.code[0];
        if (category == Category::Instruction && c.code[1] <= 2) {
            if (c.code[2] == NotChosen)
                c.gridText = c.fullText = blank;
            else if (cat.valid(c.entry))
                c.gridText = c.fullText = cat.name(c.entry);
        } else if (category == Category::Connective) {
            if (c.code[1] == NotChosen)
                c.gridText = c.fullText = blank;
            else if (cat.valid(c.entry))
                c.gridText = c.fullText = cat.name(c.entry);
        } else if (category == Category::Operand && c.role() == Role::Button) {
            c.gridText = c.fullText = CommandCatalogue::buttonText(c.value);
        } else if (category == Category::Operand && c.kind() == Kind::Controller && cat.valid(c.entry)) {
            c.gridText = cat.controllerGridText(c.entry);
            c.fullText = cat.controllerFullText(c.entry);
        }
    }
}

std::string describe(const Reader& r, int lineIndex, int declared)
{
    char buf[256];
    switch (r.error()) {
    case LoadError::Truncated:
        if (lineIndex < 0)
            std::snprintf(buf, sizeof buf,
                          "The program file is truncated: it ends at byte %zu, inside its header.",
                          r.errorOffset());
        else
            std::snprintf(buf, sizeof buf,
                          "The program file is truncated: it ends at byte %zu, inside line %d of %d.",
                          r.errorOffset(), lineIndex + 1, declared);
        return buf;
    case LoadError::BadLength:
        std::snprintf(buf, sizeof buf,
                      "The program file is truncated or damaged: the text at byte %zu (line %d) claims %llu "
                      "bytes, more than the file holds.",
                      r.errorOffset(), lineIndex + 1, static_cast<unsigned long long>(r.badLength()));
        return buf;
    default:
        return "The program file could not be read.";
    }
}

LoadResult failure(LoadError e, std::string message)
{
    return {false, e, std::move(message)};
}

} // namespace

void writeString(std::vector<uint8_t>& out, const std::string& s)
{
    const size_t at = out.size();
    out.resize(at + stringSize(s));
    Writer w(out.data() + at);
    w.string(s);
}

std::vector<uint8_t> serializeProgram(const BehaviorProgram& program)
{
    auto out = writeRecords(
        16, [&](size_t i) -> const ProgramLine& { return program.line(static_cast<int>(i)); },
        static_cast<size_t>(program.count()));
    Writer w(out.data());
    w.i32(ProgramSignature);
    w.i32(program.count());
    w.i32(program.curLine());
    w.i32(program.curCell());
    return out;
}

LoadResult parseProgram(const uint8_t* data, size_t size, BehaviorProgram& program)
{
    Reader r(data, size);
    int32_t signature = r.i32();
    if (r.ok() && signature != ProgramSignature)
        return failure(LoadError::NotProgramFile, std::string(taskloom::text(Msg::NotProgramFile)));
    int32_t count = r.i32();
    int32_t curLine = r.i32();
    int32_t curCell = r.i32();
    if (!r.ok()) {
        // Too short even for the signature: not a program file at all.
        if (size < 4)
            return failure(LoadError::NotProgramFile, std::string(taskloom::text(Msg::NotProgramFile)));
        return failure(r.error(), describe(r, -1, 0));
    }
    if (count < 0 || count > BehaviorProgram::Capacity) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "The program file declares %d lines; a program holds at most %d.",
                      count, BehaviorProgram::Capacity);
        return failure(LoadError::BadLineCount, buf);
    }
    // Every line record takes at least MinLineRecordSize bytes, so a count the file cannot hold is
    // refused before the lines are set up.
    if (static_cast<uint64_t>(count) * MinLineRecordSize > r.left()) {
        char buf[200];
        std::snprintf(
            buf, sizeof buf,
            "The program file is truncated: it declares %d lines but has only %zu bytes after its header.",
            count, r.left());
        return failure(LoadError::Truncated, buf);
    }
    // First pass: the whole file must read cleanly before anything of the program is touched.
    const size_t linesAt = r.offset();
    for (int i = 0; i < count; ++i) {
        skipLine(r);
        if (!r.ok())
            return failure(r.error(), describe(r, i, count));
    }
    // Second pass, into the program's own line records.
    Reader fill(data + linesAt, size - linesAt);
    for (int i = 0; i < count; ++i) {
        ProgramLine& line = program.line(i);
        readLine(fill, line);
        rebuildTexts(line);
    }
    if (count == 0) {
        // Lines are only ever inserted before a selected line, so a program without lines could
        // never get one: it opens with one blank line.
        ProgramLine& only = program.line(0);
        only.reset();
        rebuildTexts(only);
        count = 1;
    }
    program.finishLoad(count, curLine, curCell);
    return {true, LoadError::None, {}};
}

bool saveProgram(std::ostream& out, const BehaviorProgram& program)
{
    auto bytes = serializeProgram(program);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

LoadResult loadProgram(std::istream& in, BehaviorProgram& program)
{
    std::vector<uint8_t> bytes;
    char buf[65536];
    while (in) {
        in.read(buf, sizeof buf);
        bytes.insert(bytes.end(), buf, buf + in.gcount());
        if (bytes.size() > MaxProgramFileSize)
            return failure(LoadError::TooLarge,
                           "The program file is too large to be a program (over 64 MiB).");
    }
    if (in.bad())
        return failure(LoadError::Unreadable, "The program file could not be read.");
    return parseProgram(bytes, program);
}

LoadResult loadProgramFile(const std::string& path, BehaviorProgram& program)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return failure(LoadError::Unreadable, "Cannot read " + path + ": it is a folder.");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return failure(LoadError::Unreadable, "Cannot open " + path + ": " + std::strerror(errno) + ".");
    auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > MaxProgramFileSize)
        return failure(LoadError::TooLarge, "The program file is too large to be a program (over 64 MiB).");
    LoadResult r = loadProgram(in, program);
    // With several programs open, the message says which file it is about.
    const std::string generic = "The program file";
    if (!r.ok && r.message.compare(0, generic.size(), generic) == 0)
        r.message.replace(0, generic.size(),
                          generic + " \"" + std::filesystem::path(path).filename().string() + "\"");
    return r;
}

SaveResult saveBytesFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const platform::AtomicWriteResult written = platform::writeFileAtomically(path, bytes);
    switch (written.failedStep) {
    case platform::AtomicWriteResult::Step::None:
        return {true, {}};
    case platform::AtomicWriteResult::Step::Write:
        return {false, "Cannot write " + path + ": the disk refused the data."};
    case platform::AtomicWriteResult::Step::Target:
    case platform::AtomicWriteResult::Step::Create:
    case platform::AtomicWriteResult::Step::Replace:
        break;
    }
    return {false, "Cannot write " + path + ": " + written.reason() + "."};
}

SaveResult saveProgramFile(const std::string& path, const BehaviorProgram& program)
{
    return saveBytesFile(path, serializeProgram(program));
}

std::vector<uint8_t> writeLineBlock(const std::vector<const ProgramLine*>& lines)
{
    auto out = writeRecords(
        4, [&](size_t i) -> const ProgramLine& { return *lines[i]; }, lines.size());
    Writer w(out.data());
    w.i32(static_cast<int32_t>(lines.size()));
    return out;
}

bool readLineBlock(const std::vector<uint8_t>& block, int maxLines, std::vector<ProgramLine>& lines)
{
    lines.clear();
    Reader r(block.data(), block.size());
    int32_t m = r.i32();
    if (!r.ok() || m < 0 || m > maxLines || static_cast<uint64_t>(m) * MinLineRecordSize > r.left())
        return false;
    std::vector<ProgramLine> scratch;
    scratch.reserve(static_cast<size_t>(m));
    for (int i = 0; i < m; ++i) {
        scratch.emplace_back(ProgramLine::Unset{});
        readLine(r, scratch.back());
        if (!r.ok())
            return false;
    }
    lines = std::move(scratch);
    return true;
}

} // namespace behaviour
