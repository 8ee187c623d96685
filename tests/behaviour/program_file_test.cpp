// The .tpg file: exact bytes, string forms, text rebuild, round trips, bad input, atomic saving.

#include "ExamplePrograms.h"

#include "behaviour/CellEditing.h"
#include "behaviour/ProgramBuilder.h"
#include "behaviour/ProgramFile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace behaviour;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void put32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// A program of `n` lines (fewer than a new program has), as a small file holds.
BehaviorProgram shortProgram(int n)
{
    BehaviorProgram p;
    std::vector<ProgramLine> lines(static_cast<size_t>(n));
    p.assign(std::move(lines), -1, -1);
    return p;
}

// Where two lines differ, for a readable failure.
std::string describeDifference(const ProgramLine& a, const ProgramLine& b)
{
    for (int i = 0; i < CellsPerLine; ++i)
        if (!(a.cells[i] == b.cells[i]))
            return "cell " + std::to_string(i) + ": '" + a.cells[i].gridText + "'/'" + a.cells[i].fullText +
                   "' entry " + std::to_string(a.cells[i].entry) + " vs '" + b.cells[i].gridText + "'/'" +
                   b.cells[i].fullText + "' entry " + std::to_string(b.cells[i].entry);
    return "flags, label, comment or separators";
}

class TempDir : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.ok()); }
    // Saves a program commented "first" as path; its bytes.
    std::vector<uint8_t> saveFirst()
    {
        BehaviorProgram first;
        first.line(0).comment = "first";
        EXPECT_TRUE(saveProgramFile(path.string(), first).ok);
        return readAll(path);
    }
    testsupport::TempFolder folder_{"behaviour_file_test"};
    const fs::path dir_ = folder_.path();
    const fs::path path = dir_ / "p.tpg";
};

} // namespace

TEST(ProgramFile, HeaderAndBlankLineRecordAreByteExact)
{
    BehaviorProgram p = shortProgram(1);
    auto bytes = serializeProgram(p);
    // 16-byte header; a blank line: flags, two empty strings, ten 53-byte cells, nine 13-byte separators.
    ASSERT_EQ(bytes.size(), 16u + 2 + 1 + 1 + 10 * 53 + 9 * 13);
    const std::vector<uint8_t> header = {0xE8, 0x03, 0,    0,    1,    0,    0,    0,
                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16), header);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 16, bytes.begin() + 20),
              (std::vector<uint8_t>{0, 0, 0, 0}));
    // Cell 0: flags 1, style 1, entry 51, id 0, value 0, "Double click!" twice, two empty strings, codes.
    std::vector<uint8_t> cell0 = {1, 0, 1, 0, 0, 0, 51, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 13};
    const std::string dc = "Double click!";
    cell0.insert(cell0.end(), dc.begin(), dc.end());
    cell0.push_back(13);
    cell0.insert(cell0.end(), dc.begin(), dc.end());
    cell0.insert(cell0.end(), {0, 0, 0, 0, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 20, bytes.begin() + 20 + 53), cell0);
    // Separator 8 ends the record: kind 0, shown 0, entry 20000, empty text.
    const std::vector<uint8_t> sep = {0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x4E, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 13, bytes.end()), sep);
}

TEST(ProgramFile, StringLengthsUseTheirThreeForms)
{
    auto form = [](size_t n) {
        std::vector<uint8_t> out;
        writeString(out, std::string(n, 'a'));
        return std::vector<uint8_t>(out.begin(),
                                    out.begin() + static_cast<long>(std::min<size_t>(out.size(), 7)));
    };
    EXPECT_EQ(form(0), (std::vector<uint8_t>{0}));
    EXPECT_EQ(form(254)[0], 254);
    EXPECT_EQ(form(255), (std::vector<uint8_t>{0xFF, 0xFF, 0x00, 'a', 'a', 'a', 'a'}));
    EXPECT_EQ(form(65533), (std::vector<uint8_t>{0xFF, 0xFD, 0xFF, 'a', 'a', 'a', 'a'}));
    EXPECT_EQ(form(65534), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(form(70000), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));

    // Each form reads back.
    for (size_t n : {0, 1, 254, 255, 256, 65533, 65534, 65535, 70000}) {
        BehaviorProgram p = shortProgram(1);
        p.line(0).comment = std::string(n, 'c');
        p.line(0).label = std::string(n % 300, 'l');
        BehaviorProgram back;
        ASSERT_TRUE(parseProgram(serializeProgram(p), back).ok) << n;
        EXPECT_EQ(back.line(0).comment.size(), n);
        EXPECT_EQ(back.line(0).label, p.line(0).label);
    }
}

TEST(ProgramFile, SixteenBitTextsAreReadIntoTheCodePage)
{
    BehaviorProgram p = shortProgram(1);
    auto bytes = serializeProgram(p);
    // Replace the empty label (byte 18) by a 16-bit string: "A", euro sign, e acute, a CJK character.
    std::vector<uint8_t> wide = {0xFF, 0xFE, 0xFF, 4, 'A', 0, 0xAC, 0x20, 0xE9, 0x00, 0x2D, 0x4E};
    bytes.erase(bytes.begin() + 18);
    bytes.insert(bytes.begin() + 18, wide.begin(), wide.end());
    // The comment as a 16-bit string whose length uses the 16-bit form too.
    std::vector<uint8_t> wideLong = {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01};
    for (int i = 0; i < 300; ++i)
        wideLong.insert(wideLong.end(), {'z', 0});
    const size_t commentAt = 18 + wide.size();
    bytes.erase(bytes.begin() + static_cast<long>(commentAt));
    bytes.insert(bytes.begin() + static_cast<long>(commentAt), wideLong.begin(), wideLong.end());

    BehaviorProgram back;
    LoadResult r = parseProgram(bytes, back);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(back.line(0).label, "A\x80\xE9?");
    EXPECT_EQ(back.line(0).comment, std::string(300, 'z'));
    // Saved again, it takes the 8-bit form.
    auto again = serializeProgram(back);
    EXPECT_EQ(again[18], 4);
}

TEST(ProgramFile, LoadingRebuildsTextsAndSanitisesIndexes)
{
    BehaviorProgram p;
    ASSERT_TRUE(examples::workedExample(p));
    ProgramLine& l = p.line(1);
    l.cells[0].gridText = l.cells[0].fullText = "stale"; // IF
    l.cells[4].gridText = "stale";                       // THEN
    l.cells[6].gridText = l.cells[6].fullText = "stale"; // KZ-7 AUX LED
    l.cells[7].gridText = "kept";                        // a number keeps its texts
    l.cells[1].entry = 5000;                             // no such entry
    l.separators[0].entry = -7;
    p.line(5).cells[0].code = {0, 0, 255, 255, 255};
    p.line(5).cells[0].gridText = "stale";
    p.line(6).cells[0].code = {0, 0, 4, 255, 255};
    p.line(6).cells[0].entry = 81234; // instruction with a bad index: texts kept
    p.line(6).cells[0].gridText = "odd";
    // A button constant is shown by its letters.
    ProgramBuilder b(p, 7);
    b.line().condition(Instr::If, Operand::kz7(Entry::Button), 3, Operand::buttons(8 | 1), Conn::Then);
    p.line(7).cells[3].gridText = "stale";
    p.selectOne(1);
    p.setCurrent(2, 0);

    BehaviorProgram back;
    ASSERT_TRUE(parseProgram(serializeProgram(p), back).ok);
    const ProgramLine& r = back.line(1);
    EXPECT_EQ(r.cells[0].gridText, "IF");
    EXPECT_EQ(r.cells[0].fullText, "IF");
    EXPECT_EQ(r.cells[4].gridText, "THEN");
    EXPECT_EQ(r.cells[6].gridText, "AUX LE...");
    EXPECT_EQ(r.cells[6].fullText, "KZ-7 AUX LED");
    EXPECT_EQ(r.cells[7].gridText, "kept");
    EXPECT_EQ(r.cells[1].entry, NoEntry);
    EXPECT_EQ(r.separators[0].entry, NoEntry);
    EXPECT_EQ(back.line(5).cells[0].gridText, "Double click!");
    EXPECT_EQ(back.line(6).cells[0].entry, NoEntry);
    EXPECT_EQ(back.line(6).cells[0].gridText, "odd");
    EXPECT_EQ(back.line(7).cells[3].gridText, "U+R");
    EXPECT_EQ(back.line(7).cells[3].fullText, "U+R");
    // Saved with a selection, reopened with none; the current cell comes back.
    EXPECT_EQ(back.selFirst(), -1);
    EXPECT_FALSE(back.line(1).selected());
    EXPECT_EQ(back.curLine(), 2);
    EXPECT_EQ(back.curCell(), 0);
}

TEST(ProgramFile, CurrentCellOutsideTheProgramIsDropped)
{
    for (auto [line, cell] :
         std::vector<std::pair<int32_t, int32_t>>{{100, 0}, {-5, 0}, {3, 10}, {3, -2}, {2000000, 3}}) {
        BehaviorProgram p;
        auto bytes = serializeProgram(p);
        std::vector<uint8_t> head;
        put32(head, static_cast<uint32_t>(line));
        put32(head, static_cast<uint32_t>(cell));
        std::copy(head.begin(), head.end(), bytes.begin() + 8);
        BehaviorProgram back;
        ASSERT_TRUE(parseProgram(bytes, back).ok);
        EXPECT_EQ(back.curLine(), -1) << line << "," << cell;
        EXPECT_EQ(back.curCell(), -1);
    }
}

TEST(ProgramFile, RoundTripOverRandomlyEditedPrograms)
{
    std::mt19937 rng(1234);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 30; ++round) {
        BehaviorProgram p;
        p.setConfirm([](const std::string&) { return true; });
        for (int step = 0; step < 60; ++step) {
            const int l = pick(p.count());
            ProgramLine& line = p.line(l);
            switch (pick(9)) {
            case 0:
                p.setCurrent(l, pick(10));
                chooseItem(line, 0, {52 + pick(11), static_cast<uint8_t>(pick(11))});
                break;
            case 1: {
                const int c = 1 + pick(4);
                p.setCurrent(l, c);
                auto items = CommandCatalogue::choiceList(line.cells[c]);
                if (!items.empty())
                    chooseItem(line, c, items[static_cast<size_t>(pick(static_cast<int>(items.size())))]);
                else if (line.cells[c].isOperand())
                    typeText(line, c, pick(2) ? std::to_string(rng()) : "v" + std::to_string(pick(60)));
                break;
            }
            case 2:
                line.label = std::string(static_cast<size_t>(pick(300)), static_cast<char>('a' + pick(26)));
                break;
            case 3:
                line.comment = std::string(static_cast<size_t>(pick(3) == 0 ? 70000 : pick(20)), '\xE9');
                break;
            case 4:
                p.insertLines(l, 1 + pick(5));
                break;
            case 5:
                p.deleteLines(l, 1 + pick(5));
                break;
            case 6:
                p.toggleEnabled(l, l + pick(3));
                break;
            case 7: {
                const int c = 1 + pick(3);
                if (line.cells[c].isOperand())
                    setCustomRegister(line, c, pick(2) ? "arm" : "12", pick(2) ? "pos" : "30");
                break;
            }
            default:
                p.selectOne(l);
                p.extendSelection(pick(p.count()));
                break;
            }
        }
        p.clearSelection();
        auto bytes = serializeProgram(p);
        BehaviorProgram back;
        ASSERT_TRUE(parseProgram(bytes, back).ok);
        // Loading shows an instruction or connective that was never chosen as "Double click!",
        // where the template had shown "Undefine"; every other field comes back as it was.
        for (int i = 0; i < p.count(); ++i) {
            for (auto& c : p.line(i).cells) {
                const bool unchosenInstruction =
                    c.category() == Category::Instruction && c.code[1] <= 2 && c.code[2] == NotChosen;
                const bool unchosenConnective =
                    c.category() == Category::Connective && c.code[1] == NotChosen;
                if (c.inUse() && (unchosenInstruction || unchosenConnective))
                    c.gridText = c.fullText = "Double click!";
            }
            ASSERT_TRUE(back.line(i) == p.line(i))
                << "round " << round << " line " << i << ": " << describeDifference(back.line(i), p.line(i));
        }
        auto again = serializeProgram(back);
        BehaviorProgram third;
        ASSERT_TRUE(parseProgram(again, third).ok);
        EXPECT_EQ(serializeProgram(third), again);
    }
}

TEST(ProgramFile, WrongSignatureIsRefusedWithTheProgrammersMessage)
{
    BehaviorProgram p;
    p.line(0).label = "keep";
    const auto before = serializeProgram(p);
    for (std::vector<uint8_t> bytes :
         {std::vector<uint8_t>{0xE9, 0x03, 0, 0, 100, 0, 0, 0}, std::vector<uint8_t>{'P', 'K', 3, 4},
          std::vector<uint8_t>{0xE8, 0x03}, std::vector<uint8_t>{}}) {
        LoadResult r = parseProgram(bytes, p);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, LoadError::NotProgramFile);
        EXPECT_EQ(r.message, "It is not Tessaban program file.");
        EXPECT_EQ(serializeProgram(p), before);
    }
}

TEST(ProgramFile, TruncatedFilesAreRefusedWholeAtEveryLength)
{
    BehaviorProgram source;
    ASSERT_TRUE(examples::workedExample(source));
    std::vector<ProgramLine> lines = {source.line(0), source.line(1), source.line(2)};
    BehaviorProgram small;
    small.assign(std::move(lines), 1, 2);
    const auto bytes = serializeProgram(small);

    BehaviorProgram target;
    target.line(4).comment = "previous";
    const auto before = serializeProgram(target);
    for (size_t n = 4; n < bytes.size(); ++n) {
        LoadResult r = parseProgram(bytes.data(), n, target);
        ASSERT_FALSE(r.ok) << n;
        EXPECT_TRUE(r.error == LoadError::Truncated || r.error == LoadError::BadLength) << n;
        EXPECT_NE(r.message.find("truncated"), std::string::npos) << n << ": " << r.message;
        ASSERT_EQ(serializeProgram(target), before) << n;
    }
    ASSERT_TRUE(parseProgram(bytes, target).ok);
    EXPECT_EQ(target.count(), 3);
}

TEST(ProgramFile, LineCountsOutsideTheSlotsAreRefused)
{
    for (int32_t count : {1001, -1, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)}) {
        std::vector<uint8_t> bytes;
        put32(bytes, 1000);
        put32(bytes, static_cast<uint32_t>(count));
        put32(bytes, 0xFFFFFFFF);
        put32(bytes, 0xFFFFFFFF);
        bytes.resize(bytes.size() + 4096, 0);
        BehaviorProgram p;
        LoadResult r = parseProgram(bytes, p);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, LoadError::BadLineCount);
        EXPECT_NE(r.message.find("at most 1000"), std::string::npos) << r.message;
        EXPECT_EQ(p.count(), 100);
    }
    // 1000 lines exactly is a full program.
    BehaviorProgram full;
    full.setConfirm([](const std::string&) { return true; });
    full.insertLines(100, 900);
    BehaviorProgram back;
    ASSERT_TRUE(parseProgram(serializeProgram(full), back).ok);
    EXPECT_EQ(back.count(), 1000);
}

TEST(ProgramFile, AbsurdStringLengthsAreRefusedBeforeAnyAllocation)
{
    BehaviorProgram p = shortProgram(1);
    const auto good = serializeProgram(p);
    const std::vector<std::vector<uint8_t>> lengths = {
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},             // 4 GiB - 1
        {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40},             // 1 GiB
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, // 16-bit text of 4 G characters
        {0xFF, 0xFE, 0xFF, 0xFF, 0x00, 0x80},                   // 16-bit text of 32768 characters
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF},                   // a marker inside a marker
        {0xFF, 0x00, 0x10},                                     // 4096 bytes
    };
    for (const auto& len : lengths) {
        auto bytes = good;
        bytes.erase(bytes.begin() + 18); // the label's length byte
        bytes.insert(bytes.begin() + 18, len.begin(), len.end());
        BehaviorProgram back;
        LoadResult r = parseProgram(bytes, back);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error == LoadError::BadLength) << r.message;
        EXPECT_EQ(back.count(), 100);
    }
}

TEST_F(TempDir, SaveAndLoadFilesAndReportMissingOnes)
{
    BehaviorProgram p;
    ASSERT_TRUE(examples::workedExample(p));
    const std::string path = (dir_ / "w.tpg").string();
    ASSERT_TRUE(saveProgramFile(path, p).ok);
    BehaviorProgram back;
    ASSERT_TRUE(loadProgramFile(path, back).ok);
    EXPECT_EQ(serializeProgram(back), serializeProgram(p));
    LoadResult r = loadProgramFile((dir_ / "missing.tpg").string(), back);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, LoadError::Unreadable);
    EXPECT_NE(r.message.find("No such file"), std::string::npos) << r.message;
    EXPECT_FALSE(loadProgramFile(dir_.string(), back).ok);
    EXPECT_FALSE(saveProgramFile((dir_ / "no/such/dir/x.tpg").string(), p).ok);

    // A damaged file's message names it: a header cut short, and a count beyond the slots.
    std::vector<uint8_t> cut = serializeProgram(p);
    cut.resize(cut.size() - 3);
    std::vector<uint8_t> tooMany = serializeProgram(p);
    tooMany[4] = 0xE9; // 1001 lines
    tooMany[5] = 0x03;
    for (const auto& [name, bytes] : {std::pair{"cut.tpg", cut}, std::pair{"many.tpg", tooMany}}) {
        const std::string named = (dir_ / name).string();
        ASSERT_TRUE(saveBytesFile(named, bytes).ok);
        r = loadProgramFile(named, back);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message.rfind(std::string("The program file \"") + name + "\" ", 0), 0u) << r.message;
    }
}

TEST(ProgramFile, AFileWithoutLinesOpensWithOneBlankLineThatTakesInsertions)
{
    std::vector<uint8_t> bytes;
    put32(bytes, 1000);
    put32(bytes, 0);
    put32(bytes, 0xFFFFFFFF);
    put32(bytes, 0xFFFFFFFF);
    BehaviorProgram p;
    ASSERT_TRUE(parseProgram(bytes, p).ok);
    ASSERT_EQ(p.count(), 1);
    EXPECT_FALSE(p.line(0).edited());
    BehaviorProgram blank; // a blank line as a file gives it back
    ASSERT_TRUE(parseProgram(serializeProgram(BehaviorProgram()), blank).ok);
    EXPECT_EQ(p.line(0).cells, blank.line(0).cells);
    p.selectOne(0);
    EXPECT_TRUE(p.insertLines(0, 1).ok);
    EXPECT_EQ(p.count(), 2);
}

TEST_F(TempDir, SavingReplacesTheFileInOneStep)
{
    const auto firstBytes = saveFirst();

    // A reader holding the old file still sees all of it: the new one replaced it by rename.
    std::ifstream old(path, std::ios::binary);
    BehaviorProgram second;
    second.line(0).comment = "second";
    ASSERT_TRUE(saveProgramFile(path.string(), second).ok);
    std::vector<uint8_t> seen{std::istreambuf_iterator<char>(old), {}};
    EXPECT_EQ(seen, firstBytes);
    BehaviorProgram back;
    ASSERT_TRUE(loadProgramFile(path.string(), back).ok);
    EXPECT_EQ(back.line(0).comment, "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(TempDir, FailedSaveLeavesThePreviousFileIntact)
{
    const auto firstBytes = saveFirst();

    // The disk "fills up" part-way through the write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    BehaviorProgram second;
    second.line(0).comment = "second";
    SaveResult r = saveProgramFile(path.string(), second);
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(readAll(path), firstBytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1); // no temporary left
}
