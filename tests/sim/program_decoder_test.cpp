// The program image read back into lines: the generator's worked example byte for byte, and
// every kind of malformed image refused at the place it goes wrong.

#include "sim/ProgramDecoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sim;

namespace {

// The program area as memory holds it: the bytes, then erased flash.
std::vector<uint8_t> area(std::vector<uint8_t> bytes)
{
    bytes.resize(8192, 0xFF);
    return bytes;
}

} // namespace

TEST(ProgramDecoder, ReadsTheWorkedExampleIntoItsThreeLines)
{
    auto bytes = area({0x04, 0x80, 0x00, 0x64, 0x1A, 0x01, 0x04, 0x32, 0x00, 0x00, 0x02, 0x00, 0xC8, 0x1F,
                       0x04, 0x01, 0x00, 0x05});
    DecodedProgram p = decodeProgram(bytes.data(), bytes.size());
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.statements.size(), 3u);
    EXPECT_EQ(p.size, 18u);
    EXPECT_EQ(p.statements[0].op, ProgramOp::Start);
    const ProgramStatement& line = p.statements[1];
    EXPECT_EQ(line.offset, 1);
    EXPECT_EQ(line.op, ProgramOp::If);
    EXPECT_EQ(line.left.type, ProgramOperand::Type::Register);
    EXPECT_EQ(line.left.id, 100);
    EXPECT_EQ(line.left.address, 0x1A);
    // "=" of the comparison would be 0x00 too; here it is ">" and the 0x00 after it is THEN.
    EXPECT_EQ(line.comparison, Comparison::Greater);
    EXPECT_EQ(line.right.type, ProgramOperand::Type::Value);
    EXPECT_EQ(line.right.value, 50);
    EXPECT_EQ(line.connective, Connective::Then);
    ASSERT_TRUE(line.hasAction);
    EXPECT_EQ(line.action.op, ProgramOp::Load);
    EXPECT_EQ(line.action.destination.id, 200);
    EXPECT_EQ(line.action.destination.address, 0x1F);
    EXPECT_EQ(line.action.source.value, 1);
    EXPECT_EQ(p.statements[2].offset, 17);
    EXPECT_EQ(p.statements[2].op, ProgramOp::End);
}

TEST(ProgramDecoder, FindsTheEndOfTheImage)
{
    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t lines;
        size_t size;
    };
    const Row rows[] = {
        {"erased area: no program", {}, 0, 0},
        {"bytes after the first END are not the program's", {0x04, 0x05, 0x9C, 0x33}, 2, 2},
        // A disabled END line ends the program without a byte of its own.
        {"erased flash after the last line", {0x04, 0x02, 0x05, 0x00, 0x00, 0x04, 0xFF, 0xFF}, 2, 8},
        {"END after ELSE is an action, not the end", {0x04, 0x82, 0x05, 0x07, 0x05}, 4, 5},
    };
    for (const Row& row : rows) {
        auto bytes = area(row.bytes);
        DecodedProgram p = decodeProgram(bytes.data(), bytes.size());
        ASSERT_TRUE(p.ok) << row.what << ": " << p.error;
        EXPECT_EQ(p.statements.size(), row.lines) << row.what;
        EXPECT_EQ(p.size, row.size) << row.what;
    }
    // A full area of START lines runs to its very end.
    std::vector<uint8_t> full(8192, 0x04);
    DecodedProgram p = decodeProgram(full.data(), full.size());
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.statements.size(), 8192u);
}

TEST(ProgramDecoder, RefusesMalformedImagesWhereTheyGoWrong)
{
    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t offset;
        const char* error;
    };
    const Row rows[] = {
        {"unknown instruction", {0x04, 0x9C, 0x05}, 1, "unknown instruction 9C"},
        {"erased byte inside the program", {0x04, 0xFF, 0x05}, 1, "unknown instruction FF"},
        {"truncated line", {0x04, 0x02, 0x05, 0x00, 0x00}, 5, "ends in the middle of a line"},
        {"truncated operand", {0x04, 0x80, 0x00, 0x64}, 5, "ends in the middle of a line"},
        {"truncated condition", {0x04, 0x80, 0x00, 0x64, 0x1A, 0x01}, 6, "ends in the middle of a line"},
        {"unknown operand type",
         {0x04, 0x02, 0x06, 0x00, 0x00, 0x04, 0x01, 0x00, 0x05},
         2,
         "operand type 06"},
        {"number as destination",
         {0x04, 0x02, 0x04, 0x01, 0x00, 0x04, 0x01, 0x00, 0x05},
         2,
         "cannot be written"},
        {"variable beyond the 50",
         {0x04, 0x02, 0x05, 0x32, 0x00, 0x04, 0x01, 0x00, 0x05},
         2,
         "no such variable"},
        {"named address beyond the 50",
         {0x04, 0x02, 0x05, 0x00, 0x00, 0x01, 0x64, 0x40, 0x05},
         5,
         "no such variable"},
        {"unknown comparison",
         {0x04, 0x80, 0x05, 0x00, 0x00, 0x07, 0x04, 0x00, 0x00, 0x00, 0x07, 0x05},
         5,
         "unknown comparison 07"},
        {"unknown connective",
         {0x04, 0x80, 0x05, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03, 0x05},
         9,
         "unknown connective 03"},
        {"unknown operator",
         {0x04, 0x03, 0x05, 0x00, 0x00, 0x05, 0x00, 0x00, 0x07, 0x04, 0x01, 0x00, 0x05},
         8,
         "arithmetic operator 07"},
        {"START after ELSE", {0x04, 0x82, 0x04, 0x05}, 2, "cannot follow THEN or ELSE"},
        {"jump without a label", {0x04, 0x01, 0x05, 0x00, 0x00, 0x05}, 2, "needs a label"},
        {"jump into the middle of a line", {0x04, 0x01, 0x04, 0x02, 0x00, 0x05}, 1, "jump target 0002"},
        {"jump past the image", {0x04, 0x01, 0x04, 0x00, 0x20, 0x05}, 1, "jump target 2000"},
        {"call past the end line", {0x04, 0x06, 0x04, 0x06, 0x00, 0x05, 0x07}, 1, "call target 0006"},
    };
    for (const Row& row : rows) {
        auto bytes = area(row.bytes);
        DecodedProgram p = decodeProgram(bytes.data(), bytes.size());
        EXPECT_FALSE(p.ok) << row.what;
        EXPECT_TRUE(p.statements.empty()) << row.what;
        EXPECT_EQ(p.errorOffset, row.offset) << row.what << ": " << p.error;
        EXPECT_NE(p.error.find(row.error), std::string::npos) << row.what << ": " << p.error;
    }
}

TEST(ProgramDecoder, ChainsSkipTheirElseBranchesAfterATakenThen)
{
    // IF .. THEN; ELSE IF .. AND; CONT IF .. THEN; ELSE; START; END
    auto bytes = area({
        0x04,                                                                         // 0 START
        0x80, 0x04, 0x01, 0x00, 0x00, 0x04, 0x01, 0x00, 0x00, 0x01, 0x04, 0x00, 0x00, // 1 IF THEN JUMP 0
        0x81, 0x04, 0x01, 0x00, 0x00, 0x04, 0x01, 0x00, 0x01,                         // 14 ELSE IF .. AND
        0x83, 0x04, 0x01, 0x00, 0x00, 0x04, 0x01, 0x00, 0x00, 0x07, // 23 CONT IF THEN RETURN
        0x82, 0x07,                                                 // 33 ELSE RETURN
        0x04, 0x05,                                                 // 35 START, 36 END
    });
    DecodedProgram p = decodeProgram(bytes.data(), bytes.size());
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.statements.size(), 7u);
    EXPECT_EQ(p.statements[1].afterChain, 5u) << "the IF skips ELSE IF, CONT IF and ELSE";
    EXPECT_EQ(p.statements[3].afterChain, 5u) << "the CONT IF skips the ELSE";
    EXPECT_EQ(p.statements[1].action.target, 0u);
}
