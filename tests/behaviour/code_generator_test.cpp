// The code generator: the worked example, every encoding row, START/END handling, and refusals.

#include "ExamplePrograms.h"
#include "FramedProgram.h"

#include "behaviour/ProgramBuilder.h"
#include "behaviour/RuleChecker.h"

#include <gtest/gtest.h>

using namespace behaviour;

namespace {

using Bytes = std::vector<uint8_t>;

Operand num(int v)
{
    return Operand::number(v);
}
Operand var(const std::string& n)
{
    return Operand::name(n);
}

// Checks and generates; the instruction bytes (without the checksum) or a failure.
Bytes image(BehaviorProgram& p)
{
    BuildResult r = buildProgram(p);
    EXPECT_TRUE(r.ok) << r.message;
    if (!r.ok)
        return {};
    EXPECT_EQ(r.bytes.size(), static_cast<size_t>(p.image.length) + 1);
    unsigned sum = 0;
    for (int i = 0; i < p.image.length; ++i)
        sum += p.image.bytes[static_cast<size_t>(i)];
    EXPECT_EQ(r.bytes.back(), static_cast<uint8_t>(sum));
    return Bytes(r.bytes.begin(), r.bytes.end() - 1);
}

// The bytes of a program made of START, the given middle line(s), END.
template <typename F> Bytes middle(F&& build)
{
    BehaviorProgram p = framed(build);
    Bytes all = image(p);
    if (all.size() < 2)
        return {};
    return Bytes(all.begin() + 1, all.end() - 1);
}

} // namespace

TEST(Generator, WorkedExampleGivesTheExactImage)
{
    BehaviorProgram p;
    ASSERT_TRUE(examples::workedExample(p));
    p.line(1).label = "one";
    p.line(2).label = "two";
    BuildResult r = buildProgram(p);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.bytes, (Bytes{0x04, 0x80, 0x00, 0x64, 0x1A, 0x01, 0x04, 0x32, 0x00, 0x00, 0x02, 0x00, 0xC8,
                              0x1F, 0x04, 0x01, 0x00, 0x05, 0x2C}));
    EXPECT_EQ(p.image.length, 18);
    EXPECT_EQ(p.image.checksum(), 0x2C);
    EXPECT_EQ(p.labelTable.labels.at(0).address, 1);
    EXPECT_EQ(p.labelTable.labels.at(1).address, 17);
    EXPECT_EQ(r.message, "There is no error!");
    EXPECT_EQ(p.image.bytes[19], 0xFF); // the rest of the buffer is 0xFF
}

TEST(Generator, StartAndEndAlone)
{
    BehaviorProgram p = framed();
    BuildResult r = buildProgram(p);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, (Bytes{0x04, 0x05, 0x09}));
    EXPECT_EQ(p.image.length, 2);
}

Bytes cond(uint8_t head, uint8_t op, uint8_t v, uint8_t conn)
{
    return {head, 0x05, 0, 0, op, 0x04, v, 0, conn}; // head (a op v) conn, a being name 0
}

Bytes computeA(uint8_t op)
{
    return {0x03, 0x05, 0, 0, 0x05, 0, 0, op, 0x04, 1, 0}; // COMPUTE a = a op 1
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(Generator, OneByteCellsUseTheirCatalogueCodes)
{
    EXPECT_EQ(middle([](ProgramBuilder& b) {
                  b.line().condition(Instr::If, var("a"), 3, num(1), Conn::And);
                  b.line().condition(Instr::ContIf, var("a"), 8, num(2), Conn::Or);
                  b.line().condition(Instr::ContIf, var("a"), 5, num(3), Conn::Then).load(var("a"), num(0));
              }),
              cat({cond(0x80, 0x00, 1, 0x01),
                   cond(0x83, 0x05, 2, 0x02),
                   cond(0x83, 0x02, 3, 0x00),
                   {0x02, 0x05, 0, 0, 0x04, 0, 0}}));

    EXPECT_EQ(middle([](ProgramBuilder& b) {
                  b.line()
                      .condition(Instr::If, var("a"), 6, num(1), Conn::Then)
                      .compute(var("a"), var("a"), 12, num(2));
                  b.line().condition(Instr::ElseIf, var("a"), 7, num(1), Conn::Then).load(var("a"), num(0));
                  b.line().otherwise().call("x");
                  b.line("x").compute(var("a"), var("a"), 13, num(1));
                  b.line().compute(var("a"), var("a"), 14, num(1));
                  b.line().compute(var("a"), var("a"), 10, num(1));
                  b.line().compute(var("a"), var("a"), 11, num(1));
                  b.line().compute(var("a"), var("a"), 9, num(1));
                  b.line().jump("x");
                  b.line().ret();
              }),
              cat({cond(0x80, 0x03, 1, 0x00),
                   {0x03, 0x05, 0, 0, 0x05, 0, 0, 0x03, 0x04, 2, 0}, // at 1
                   cond(0x81, 0x04, 1, 0x00),
                   {0x02, 0x05, 0, 0, 0x04, 0, 0}, // at 21
                   {0x82, 0x06, 0x04, 42, 0},      // at 37
                   computeA(0x10),
                   computeA(0x11),
                   computeA(0x01),
                   computeA(0x02),
                   computeA(0x00), // x at 42
                   {0x01, 0x04, 42, 0},
                   {0x07}}));
}

TEST(Generator, EveryOperandRow)
{
    Bytes got = middle([](ProgramBuilder& b) {
        b.line().load(Operand::device("Wheel", 3, 12), Operand::custom("arm", "pos")); // masks 0 and 3
        b.line().load(Operand::custom("7", "gain"), Operand::custom("leg", "30"));     // masks 1 and 2
        b.line().load(Operand::kz7(Entry::ControllerFirst), num(70000));               // kinds 12 and 13
        b.line().load(var("gain"), var("arm"));                                        // kind 14
        b.line("self")
            .condition(Instr::If, Operand::kz7(Entry::Button), 3, Operand::buttons(8 | 16), Conn::Then)
            .jump("self"); // role 23 and role 22
    });
    EXPECT_EQ(got, (Bytes{0x02, 0x00, 3,   0x20, 0x03, 0,    1,    // names: arm 0, pos 1
                          0x02, 0x01, 7,   2,    0x02, 3,    30,   // gain 2, leg 3
                          0x02, 0x00, 200, 0x18, 0x04, 0x70, 0x11, // 70000 keeps its low 16 bits
                          0x02, 0x05, 2,   0,    0x05, 0,    0,    //
                          0x80, 0x00, 200, 0x20, 0x00, 0x04, 24,   0, 0x00, 0x01, 0x04, 29, 0}));
}

TEST(Generator, WideValuesKeepTheirLowBytesAndRemoconConstantsTheirValue)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().start();
    b.line().load(Operand::device("Wheel", 3, 12), num(1));
    b.line().condition(Instr::If, var("r"), 3, num(0), Conn::Then).load(var("r"), num(1));
    b.line().end();
    ASSERT_TRUE(b.ok());
    p.cell(1, 1).id = 300;
    p.cell(1, 1).value = 0x1FF;
    p.cell(1, 2).value = -1;
    // A remote-control constant, as a program file can hold one.
    ProgramCell& rc = p.cell(2, 3);
    rc.code = {4, Role::Remocon, Kind::Number, NotChosen, NotChosen}; // the role decides, not the kind
    rc.value = 0x1234;
    Bytes all = image(p);
    EXPECT_EQ(all, (Bytes{0x04, 0x02, 0x00, 0x2C, 0xFF, 0x04, 0xFF, 0xFF, //
                          0x80, 0x05, 0,    0,    0x00, 0x04, 0x34, 0x12, 0x00,
                          0x02, 0x05, 0,    0,    0x04, 1,    0,    0x05}));
}

TEST(Generator, StartEndAndLineFlags)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().load(var("before"), num(1)); // before START: nothing
    b.line().start();
    b.line().load(var("a"), num(1));
    b.line().load(var("b"), num(2));
    b.line().load(var("c"), num(3));
    b.line().end();
    b.line().load(var("after"), num(4)); // after END: nothing
    ASSERT_TRUE(b.ok());
    p.toggleEnabled(3, 3);                                       // disabled line: nothing
    p.line(4).flags &= static_cast<uint16_t>(~LineFlag::Edited); // never visited: nothing
    ASSERT_TRUE(checkRules(p).ok);
    GenerateResult g = generateImage(p, CommandCatalogue::instance());
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(p.image.download(), (Bytes{0x04, 0x02, 0x05, 0, 0, 0x04, 1, 0, 0x05, 0x15}));

    // A disabled START still starts the image and a disabled END still ends it, without bytes.
    p.toggleEnabled(1, 1);
    p.toggleEnabled(5, 5);
    ASSERT_TRUE(generateImage(p, CommandCatalogue::instance()).ok);
    EXPECT_EQ(p.image.download(), (Bytes{0x02, 0x05, 0, 0, 0x04, 1, 0, 0x0C}));
}

TEST(Generator, NothingToEncodeFails)
{
    BehaviorProgram p;
    GenerateResult g = generateImage(p, CommandCatalogue::instance());
    EXPECT_FALSE(g.ok);
    EXPECT_EQ(g.error, GenerateError::Empty);
    EXPECT_EQ(p.image.length, 0);
    EXPECT_TRUE(p.image.download().empty());
    // START and END both disabled: nothing encoded either.
    ProgramBuilder b(p);
    b.line().start();
    b.line().end();
    p.toggleEnabled(0, 1);
    EXPECT_FALSE(generateImage(p, CommandCatalogue::instance()).ok);
}

namespace {

// START, `lines` copies of "IF a = 1 THEN COMPUTE a = a + 1" (20 bytes each), then `tail`
// RETURN lines and END.
BehaviorProgram bigProgram(int lines, int tail)
{
    BehaviorProgram p;
    p.setConfirm([](const std::string&) { return true; });
    p.insertLines(p.count(), lines + tail + 2 - p.count());
    ProgramBuilder b(p);
    b.line().start();
    b.line().condition(Instr::If, var("a"), 3, num(1), Conn::Then).compute(var("a"), var("a"), 9, num(1));
    for (int i = 2; i <= lines; ++i)
        p.line(i) = p.line(1);
    ProgramBuilder t(p, lines + 1);
    for (int i = 0; i < tail; ++i)
        t.line().ret();
    t.line().end();
    EXPECT_TRUE(b.ok() && t.ok());
    return p;
}

} // namespace

TEST(Generator, AnImageThatFillsTheAreaExactlyIsTaken)
{
    // 1 + 409 x 20 + 9 + 1 = 8191 bytes, with the checksum 8192.
    BehaviorProgram p = bigProgram(409, 9);
    BuildResult r = buildProgram(p);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(p.image.length, 8191);
    EXPECT_EQ(r.bytes.size(), 8192u);

    BehaviorProgram over = bigProgram(409, 10);
    r = buildProgram(over);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.generate.error, GenerateError::TooLarge);
    EXPECT_EQ(over.image.length, 0);
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_NE(r.message.find("too large"), std::string::npos) << r.message;
}

TEST(Generator, AFullProgramTooLargeForTheAreaIsRefused)
{
    BehaviorProgram p = bigProgram(997, 0);
    BuildResult r = buildProgram(p);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.generate.error, GenerateError::TooLarge);
    EXPECT_EQ(r.message,
              "The program is too large for the controller: its image needs at least 8195 bytes with "
              "the checksum, and only 8192 fit (line 411).");
}

TEST(Generator, CellsThatCannotBeEncodedAreRefusedAndMarked)
{
    struct Case {
        const char* what;
        void (*spoil)(BehaviorProgram&);
        int cell;
    };
    const Case cases[] = {
        {"unknown operand kind", [](BehaviorProgram& p) { p.cell(1, 2).code[2] = 77; }, 2},
        {"name mask out of range", [](BehaviorProgram& p) { p.cell(1, 1).code[3] = 9; }, 1},
        {"instruction entry outside the catalogue", [](BehaviorProgram& p) { p.cell(1, 0).entry = 5000; }, 0},
        {"controller entry outside the catalogue", [](BehaviorProgram& p) { p.cell(2, 1).entry = NoEntry; },
         1},
        {"unknown category", [](BehaviorProgram& p) { p.cell(2, 0).code[0] = 9; }, 0},
    };
    for (const auto& c : cases) {
        BehaviorProgram p = framed([](ProgramBuilder& b) {
            b.line().load(Operand::device("Wheel", 3, 12), num(1));
            b.line().load(Operand::kz7(44), num(1));
        });
        ASSERT_TRUE(checkRules(p).ok);
        c.spoil(p);
        // The spoiled cells pass the check (or are skipped by it); the generator must refuse them.
        p.nameTable.clear();
        GenerateResult g = generateImage(p, CommandCatalogue::instance());
        EXPECT_FALSE(g.ok) << c.what;
        EXPECT_EQ(g.error, GenerateError::BadCell) << c.what;
        EXPECT_TRUE(p.cell(g.line, g.cell).hasError()) << c.what;
        EXPECT_EQ(g.cell, c.cell) << c.what;
        EXPECT_EQ(p.image.length, 0) << c.what;
    }

    // A name the table does not hold.
    BehaviorProgram p = framed([](ProgramBuilder& b) { b.line().load(var("x"), num(1)); });
    ASSERT_TRUE(checkRules(p).ok);
    p.nameTable.clear();
    GenerateResult g = generateImage(p, CommandCatalogue::instance());
    EXPECT_EQ(g.error, GenerateError::BadCell);
    EXPECT_TRUE(p.cell(1, 1).hasError());
    p.cell(1, 2).code[2] = 77;
    BuildResult r = buildProgram(p);
    EXPECT_EQ(r.message, "Line 2, cell 2 cannot be turned into controller code: its operand kind, name or "
                         "catalogue entry is not valid.");
}
