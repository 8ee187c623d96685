// The vocabulary: entries, lists, line templates, constant roles and cell texts.

#include "behaviour/CellEditing.h"
#include "behaviour/CommandCatalogue.h"
#include "behaviour/ProgramBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace behaviour;

namespace {

const CommandCatalogue& cat()
{
    return CommandCatalogue::instance();
}

std::vector<int> entries(const std::vector<ChoiceItem>& items)
{
    std::vector<int> out;
    for (const auto& i : items)
        out.push_back(i.entry);
    return out;
}

std::vector<int> codes(const std::vector<ChoiceItem>& items)
{
    std::vector<int> out;
    for (const auto& i : items)
        out.push_back(i.listCode);
    return out;
}

ProgramLine lineWith(uint8_t instruction)
{
    ProgramLine line;
    EXPECT_TRUE(chooseItem(line, 0, {Entry::FirstInstruction + instruction, instruction}));
    return line;
}

} // namespace

TEST(Catalogue, HoldsEveryEntryWithItsNameAndCode)
{
    ASSERT_TRUE(cat().built());
    EXPECT_EQ(cat().count(), 82);
    EXPECT_EQ(cat().iconCount(), 51);
    // Spellings and codes that programs and listings rely on.
    // clang-format off
    const std::vector<std::pair<int, std::pair<const char*, int>>> expected = {
        {0, {"Joyntra", 0x00}},       {3, {"KZ-7 Button", 0x00}},          {5, {"Turn on/off", 0x18}},
        {18, {"Interal temerature", 0x2b}}, {19, {"Moving flag", 0x2e}},   {20, {"Left IR sensor data", 0x1a}},
        {26, {"Obstacle detecttion flag", 0x20}}, {27, {"luminosity detection flag", 0x21}},
        {38, {"Light detected compare", 0x35}}, {39, {"Motion play page", 0x18}}, {44, {"AUX LED", 0x1f}},
        {45, {"Button", 0x20}},       {50, {"Print with line feed", 0x26}}, {51, {"Undefine", 0xff}},
        {52, {"IF", 0x80}},           {55, {"CONT IF", 0x83}},             {59, {"START", 0x04}},
        {62, {"RETURN", 0x07}},       {63, {"=", 0x00}},                   {68, {"!=", 0x05}},
        {69, {"THEN", 0x00}},         {71, {"OR", 0x02}},                  {74, {"x", 0x02}},
        {76, {"and(&)", 0x10}},       {77, {"or( | )", 0x11}},             {78, {"(", 0x00}},
        {80, {"=", 0x00}},            {81, {"<-", 0x00}},
    };
    // clang-format on
    for (const auto& [index, nameCode] : expected) {
        EXPECT_EQ(cat().name(index), nameCode.first) << index;
        EXPECT_EQ(cat().code(index), nameCode.second) << index;
    }
    EXPECT_EQ(cat().name(82), "");
    EXPECT_EQ(cat().code(-1), -1);
    EXPECT_EQ(cat().name(NoEntry), "");
}

TEST(Catalogue, BuildingTwiceChangesNothing)
{
    CommandCatalogue c;
    c.build();
    c.build();
    EXPECT_EQ(c.count(), 82);
}

TEST(Catalogue, ChoiceListsFollowTheCellCodes)
{
    struct Case {
        const char* what;
        std::array<uint8_t, 5> code;
        uint16_t flags;
        std::vector<int> entries, codes;
    };
    constexpr uint8_t X = NotChosen;
    const uint16_t write = CellFlag::InUse | CellFlag::Write, read = CellFlag::InUse | CellFlag::Read;
    const Case cases[] = {
        {"line start",
         {0, 0, X, X, X},
         0,
         {52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"after THEN", {0, 1, 5, X, X}, 0, {56, 57, 58, 61}, {4, 5, 6, 9}},
        {"comparison", {1, X, X, X, X}, 0, {63, 64, 65, 66, 67, 68}, {3, 4, 5, 6, 7, 8}},
        {"arithmetic", {2, X, X, X, X}, 0, {72, 73, 74, 75, 76, 77}, {9, 10, 11, 12, 13, 14}},
        {"connective", {3, X, X, X, X}, 0, {69, 70, 71}, {15, 16, 17}},
        {"controller written",
         {4, Role::Destination, Kind::Controller, X, X},
         write,
         {39, 41, 44, 46, 47, 48, 49, 50},
         {255, 24, 255, 255, 255, 255, 255, 255}},
        {"controller read",
         {4, Role::Destination, Kind::Controller, X, X},
         read,
         {39, 40, 41, 42, 43, 45, 46, 47, 48},
         {255, 255, 24, 24, 255, 23, 255, 255, 255}},
        {"number", {4, Role::Source, Kind::Number, X, X}, read, {}, {}},
    };
    for (const Case& c : cases) {
        ProgramCell cell;
        cell.code = c.code;
        cell.flags = c.flags;
        const auto items = CommandCatalogue::choiceList(cell);
        EXPECT_EQ(entries(items), c.entries) << c.what;
        EXPECT_EQ(codes(items), c.codes) << c.what;
    }
}

TEST(Catalogue, RegisterListsPerDeviceKindAndDirection)
{
    auto servoRead = CommandCatalogue::registerList(DeviceKind::Servo, Direction::Read);
    EXPECT_EQ(servoRead.size(), 15u);
    EXPECT_EQ(servoRead.front(), 5);
    EXPECT_EQ(servoRead.back(), 19);
    EXPECT_EQ(CommandCatalogue::registerList(DeviceKind::Servo, Direction::Write).size(), 9u);
    EXPECT_EQ(CommandCatalogue::registerList(DeviceKind::Sensor, Direction::Read).size(), 19u);
    EXPECT_EQ(CommandCatalogue::registerList(DeviceKind::Sensor, Direction::Write),
              (std::vector<int>{29, 30, 31, 32, 33, 36, 37, 38}));
    const std::vector<int> all = {5, 6, 7, 8, 9, 10, 11, 12, 13, 29, 31, 32, 33, 36, 37};
    EXPECT_EQ(CommandCatalogue::registerList(DeviceKind::All, Direction::Read), all);
    EXPECT_EQ(CommandCatalogue::registerList(DeviceKind::All, Direction::Write), all);
}

TEST(LineTemplate, ConditionLaysOutOperandsSeparatorsAndConnective)
{
    ProgramLine line = lineWith(Instr::If);
    const auto& c = line.cells;
    EXPECT_EQ(c[1].code, (std::array<uint8_t, 5>{4, Role::Left, 255, 255, 255}));
    EXPECT_EQ(c[1].flags, CellFlag::InUse | CellFlag::Read);
    EXPECT_EQ(c[1].entry, Entry::Undefine);
    EXPECT_EQ(c[1].gridText, "Undefine");
    EXPECT_EQ(c[1].fullText, "Undefine");
    EXPECT_EQ(c[2].code[0], Category::Comparison);
    EXPECT_EQ(c[3].code[1], Role::Right);
    EXPECT_EQ(c[4].code[0], Category::Connective);
    EXPECT_FALSE(c[5].inUse());
    EXPECT_EQ(line.separators[0].kind, SepKind::Open);
    EXPECT_EQ(line.separators[0].text, "(");
    EXPECT_EQ(line.separators[0].entry, Entry::OpenParen);
    EXPECT_EQ(line.separators[0].shown, 1);
    EXPECT_EQ(line.separators[3].kind, SepKind::Close);
    EXPECT_EQ(line.separators[3].text, ")");

    // THEN offers the short instruction list in cell 5; AND/OR end the line.
    ASSERT_TRUE(chooseItem(line, 4, {Entry::FirstConnective, Conn::Then}));
    EXPECT_EQ(line.cells[5].code, (std::array<uint8_t, 5>{0, 1, 255, 255, 255}));
    ASSERT_TRUE(chooseItem(line, 5, {58, Instr::Compute}));
    for (int i = 6; i <= 9; ++i)
        EXPECT_TRUE(line.cells[i].inUse()) << i;
    EXPECT_EQ(line.cells[6].flags, CellFlag::InUse | CellFlag::Write);
    EXPECT_EQ(line.separators[6].text, "=");
    ASSERT_TRUE(chooseItem(line, 4, {Entry::FirstConnective + 1, Conn::And}));
    for (int i = 5; i <= 9; ++i)
        EXPECT_FALSE(line.cells[i].inUse()) << i;
    EXPECT_EQ(line.separators[6].kind, SepKind::None);
}

TEST(LineTemplate, InstructionShapes)
{
    ProgramLine load = lineWith(Instr::Load);
    EXPECT_EQ(load.cells[1].code[1], Role::Destination);
    EXPECT_EQ(load.cells[2].code[1], Role::Source);
    EXPECT_EQ(load.separators[1].text, "<-");
    EXPECT_FALSE(load.cells[3].inUse());

    ProgramLine jump = lineWith(Instr::Call);
    EXPECT_EQ(jump.cells[1].code[1], Role::Label);
    EXPECT_EQ(jump.cells[1].flags, CellFlag::InUse);
    EXPECT_FALSE(jump.cells[2].inUse());

    ProgramLine otherwise = lineWith(Instr::Else);
    EXPECT_EQ(otherwise.cells[1].code, (std::array<uint8_t, 5>{0, 1, 255, 255, 255}));
    ASSERT_TRUE(chooseItem(otherwise, 1, {58, Instr::Compute}));
    EXPECT_TRUE(otherwise.cells[5].inUse());
    EXPECT_FALSE(otherwise.cells[6].inUse());

    for (uint8_t single : {Instr::Start, Instr::End, Instr::Return}) {
        ProgramLine l = lineWith(single);
        for (int i = 1; i < CellsPerLine; ++i)
            EXPECT_FALSE(l.cells[i].inUse());
    }
}

TEST(LineTemplate, NewInstructionClearsTheLineButTheSameOneKeepsIt)
{
    ProgramLine line = lineWith(Instr::If);
    ASSERT_TRUE(typeText(line, 3, "42"));
    ASSERT_TRUE(chooseItem(line, 0, {52, Instr::If})); // the same again
    EXPECT_EQ(line.cells[3].value, 42);
    ASSERT_TRUE(chooseItem(line, 0, {59, Instr::Start}));
    for (int i = 1; i < CellsPerLine; ++i)
        EXPECT_FALSE(line.cells[i].inUse());
    for (const auto& s : line.separators)
        EXPECT_EQ(s.kind, SepKind::None);
}

TEST(LineTemplate, CraftedColumnsNeverReachPastTheLine)
{
    ProgramLine line;
    line.cells[7].flags = CellFlag::InUse;
    line.cells[7].code = {0, 0, Instr::Compute, 255, 255};
    cat().apply(line, 7); // would need cells 8..11
    EXPECT_TRUE(line.cells[9].inUse());
    cat().apply(line, 10);
    cat().apply(line, -1);
}

TEST(ConstantRoles, ButtonOnTheLeftMakesAButtonConstantAndOtherRegistersUndoIt)
{
    ProgramLine line = lineWith(Instr::If);
    ASSERT_TRUE(chooseItem(line, 1, {Entry::Button, ListCodeButton}));
    const ProgramCell& right = line.cells[3];
    EXPECT_EQ(right.code, (std::array<uint8_t, 5>{4, Role::Button, 255, 255, 255}));
    EXPECT_EQ(right.style, Style::TextIcon);
    EXPECT_EQ(right.entry, Entry::Button);
    EXPECT_EQ(right.flags, CellFlag::InUse | CellFlag::Read);
    EXPECT_EQ(right.gridText, "---");
    EXPECT_EQ(right.fullText, "---");

    ASSERT_TRUE(chooseItem(line, 1, {Entry::ControllerFirst + 7, NotChosen})); // Timer
    EXPECT_EQ(right.code, (std::array<uint8_t, 5>{4, Role::Right, 255, 255, 255}));
    EXPECT_EQ(right.style, Style::Text);
    EXPECT_EQ(right.entry, Entry::Undefine);
    EXPECT_EQ(right.gridText, "Undefine");

    // A typed left side releases the constant too.
    ASSERT_TRUE(chooseItem(line, 1, {Entry::Button, ListCodeButton}));
    ASSERT_TRUE(typeText(line, 1, "speed"));
    EXPECT_EQ(line.cells[3].role(), Role::Right);
}

// Every way the left side of a condition becomes something other than "Button" releases a
// button-constant right side; a refused edit leaves it.
TEST(ConstantRoles, EveryOtherLeftSideReleasesTheButtonConstant)
{
    struct Case {
        const char* what;
        std::function<bool(ProgramLine&)> edit;
        bool released;
    };
    const std::vector<Case> cases = {
        {"sensor register from the lists",
         [](ProgramLine& l) { return setDeviceRegister(l, 1, "Sensor", 100, 20); }, true},
        {"custom numbers", [](ProgramLine& l) { return setCustomRegister(l, 1, "100", "26").ok; }, true},
        {"custom names", [](ProgramLine& l) { return setCustomRegister(l, 1, "arm", "pos").ok; }, true},
        {"typed number", [](ProgramLine& l) { return typeText(l, 1, "5"); }, true},
        {"controller Timer",
         [](ProgramLine& l) {
             return chooseItem(l, 1, {46, NotChosen});
         },
         true},
        {"Button again",
         [](ProgramLine& l) {
             return chooseItem(l, 1, {Entry::Button, ListCodeButton});
         },
         false},
        {"refused custom 256", [](ProgramLine& l) { return setCustomRegister(l, 1, "256", "26").ok; }, false},
        {"refused custom empty", [](ProgramLine& l) { return setCustomRegister(l, 1, "", "26").ok; }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramLine line = lineWith(Instr::If);
        ASSERT_TRUE(chooseItem(line, 1, {Entry::Button, ListCodeButton}));
        setButtonBits(line.cells[3], 8);
        const bool ok = c.edit(line);
        const ProgramCell& right = line.cells[3];
        if (c.released) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(right.role(), Role::Right);
            EXPECT_EQ(right.value, 0);
            EXPECT_EQ(right.gridText, "Undefine");
            EXPECT_EQ(right.entry, Entry::Undefine);
        } else {
            EXPECT_EQ(right.role(), Role::Button);
            EXPECT_EQ(right.code[1], Role::Button);
        }
    }
}

TEST(CellTexts, TypedNumbersThatDoNotFitAreRefusedNotWrapped)
{
    struct Case {
        const char* text;
        bool accepted;
        int32_t value;
    };
    const Case cases[] = {
        {"2147483647", true, 2147483647}, {"2147483648", false, 0},      {"99999999999999", false, 0},
        {"4294967296", false, 0},         {"00000000000012x", true, 12}, {"x99999999999999", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ProgramLine line = lineWith(Instr::Load);
        ASSERT_TRUE(typeText(line, 2, "7"));
        const ProgramCell before = line.cells[2];
        EXPECT_EQ(typeText(line, 2, c.text), c.accepted);
        EXPECT_EQ(numberFits(c.text), c.accepted);
        if (c.accepted)
            EXPECT_EQ(line.cells[2].value, c.value);
        else
            EXPECT_EQ(line.cells[2], before);
    }
}

TEST(CellTexts, GridCutsNamesAndControllerRegistersGetTheirPrefix)
{
    EXPECT_EQ(CommandCatalogue::gridName("Timer"), "Timer");
    EXPECT_EQ(CommandCatalogue::gridName("Button"), "Button");
    EXPECT_EQ(CommandCatalogue::gridName("AUX LED"), "AUX LE...");
    EXPECT_EQ(cat().controllerFullText(44), "KZ-7 AUX LED");

    ProgramLine line = lineWith(Instr::Load);
    ASSERT_TRUE(chooseItem(line, 1, {50, NotChosen}));
    EXPECT_EQ(line.cells[1].gridText, "Print ...");
    EXPECT_EQ(line.cells[1].fullText, "KZ-7 Print with line feed");
    EXPECT_EQ(line.cells[1].id, 200);
    EXPECT_EQ(line.cells[1].kind(), Kind::Controller);

    EXPECT_EQ(CommandCatalogue::buttonText(8 | 2 | 16), "U+L+S");
    EXPECT_EQ(CommandCatalogue::buttonText(4), "D");
    EXPECT_EQ(CommandCatalogue::buttonText(31), "U+L+R+D+S");
    EXPECT_EQ(CommandCatalogue::buttonText(0), "");
}

TEST(CellTexts, TypedTextsMakeNumbersNamesAndLabels)
{
    ProgramLine line = lineWith(Instr::Load);
    ASSERT_TRUE(typeText(line, 2, "12abc"));
    EXPECT_EQ(line.cells[2].kind(), Kind::Number);
    EXPECT_EQ(line.cells[2].value, 12);
    EXPECT_EQ(line.cells[2].gridText, "12abc");
    ASSERT_TRUE(typeText(line, 2, "abc12345"));
    EXPECT_EQ(line.cells[2].kind(), Kind::Name);
    EXPECT_EQ(line.cells[2].gridText, "abc123...");
    EXPECT_EQ(line.cells[2].fullText, "abc12345");
    ASSERT_TRUE(typeText(line, 2, ""));
    EXPECT_EQ(line.cells[2].kind(), Kind::Name);
    EXPECT_EQ(line.cells[2].fullText, "Undefine");
    // 70000 keeps its low 16 bits exactly even past 32 bits.
    EXPECT_EQ(leadingNumber("70000") & 0xFFFF, 70000 & 0xFFFF);
    EXPECT_EQ(leadingNumber("99999999999") & 0xFFFF, static_cast<int>(99999999999LL & 0xFFFF));

    ProgramLine jump = lineWith(Instr::Jump);
    ASSERT_TRUE(typeText(jump, 1, "2nd"));
    EXPECT_EQ(jump.cells[1].kind(), NotChosen); // a label stays a label
    EXPECT_EQ(jump.cells[1].text, "2nd");
}

TEST(CellTexts, CustomRegisterChecksItsBoxes)
{
    ProgramLine line = lineWith(Instr::Load);
    EXPECT_EQ(setCustomRegister(line, 1, "", "30").messageId, 10000);
    EXPECT_EQ(setCustomRegister(line, 1, "256", "30").messageId, 10001);
    EXPECT_EQ(setCustomRegister(line, 1, "3", "99999999999").messageId, 10001);
    ASSERT_TRUE(setCustomRegister(line, 1, "arm", "30").ok);
    EXPECT_EQ(line.cells[1].mask(), 2);
    EXPECT_EQ(line.cells[1].idName, "arm");
    EXPECT_EQ(line.cells[1].value, 30);
    EXPECT_EQ(line.cells[1].fullText, "arm:30");
    EXPECT_EQ(setCustomRegister(line, 1, "300x", "pos").messageId, 10001); // numbers by their digits
    ASSERT_TRUE(setCustomRegister(line, 1, "7", "pos").ok);
    EXPECT_EQ(line.cells[1].mask(), 1);
    ASSERT_TRUE(setCustomRegister(line, 1, "arm", "pos").ok);
    EXPECT_EQ(line.cells[1].mask(), 3);
    EXPECT_EQ(line.cells[1].flags, CellFlag::InUse | CellFlag::Write); // flags and role kept
    EXPECT_EQ(line.cells[1].role(), Role::Destination);
}

TEST(ProgramBuilderShapes, RefusesWhatTheEditorWouldNotOffer)
{
    BehaviorProgram p;
    ProgramBuilder ok(p);
    ok.line().condition(Instr::If, Operand::name("a"), 3, Operand::number(1), Conn::Then).call("x");
    EXPECT_TRUE(ok.ok());
    EXPECT_TRUE(p.line(0).edited());

    BehaviorProgram q;
    ProgramBuilder afterThen(q);
    afterThen.line().condition(Instr::If, Operand::name("a"), 3, Operand::number(1), Conn::Then).ret();
    EXPECT_FALSE(afterThen.ok()); // RETURN is not in the after-THEN list

    BehaviorProgram r;
    ProgramBuilder constant(r);
    constant.line().load(Operand::name("a"), Operand::buttons(8)); // no button constant there
    EXPECT_FALSE(constant.ok());

    BehaviorProgram s;
    ProgramBuilder writeOnly(s);
    writeOnly.line().load(Operand::kz7(Entry::Button), Operand::number(1)); // Button cannot be written
    EXPECT_FALSE(writeOnly.ok());
}

TEST(CellTexts, DeviceRegistersAndRemoconValues)
{
    ProgramLine line = lineWith(Instr::Load);
    ASSERT_TRUE(setDeviceRegister(line, 2, "Sensor", 100, 26));
    const ProgramCell& c = line.cells[2];
    EXPECT_EQ(c.fullText, "Sensor:Obstacle detecttion flag");
    EXPECT_EQ(c.gridText, "Sensor...");
    EXPECT_EQ(c.kind(), Kind::Device);
    EXPECT_EQ(c.mask(), 0);
    EXPECT_EQ(c.id, 100);
    EXPECT_EQ(c.value, 0x20);
    EXPECT_EQ(c.style, Style::TextIcon);
    EXPECT_EQ(c.flags, CellFlag::InUse | CellFlag::Read);
    EXPECT_FALSE(setDeviceRegister(line, 2, "Sensor", 100, 82));
    EXPECT_FALSE(setDeviceRegister(line, 10, "Sensor", 100, 20));

    ProgramCell rc;
    setRemoconBits(rc, 1 | 8 | 32);
    EXPECT_EQ(rc.value, 41);
    EXPECT_EQ(rc.gridText, "41");
    EXPECT_EQ(rc.fullText, "41");
}
