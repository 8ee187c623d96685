// The shipped example programs are exactly what the builder makes today, and each one passes.

#include "ExamplePrograms.h"

#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

using namespace behaviour;

TEST(ExamplePrograms, FilesMatchTheirBuilderRoundTripAndPassTheCheck)
{
    ASSERT_GE(examples::all().size(), 5u);
    for (const auto& e : examples::all()) {
        BehaviorProgram built;
        ASSERT_TRUE(e.build(built)) << e.fileName;
        const auto path = std::filesystem::path(TESSABAN_SOURCE_DIR) / "data/examples" / e.fileName;
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> stored{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(serializeProgram(built), stored)
            << e.fileName << " is stale: run make_behaviour_examples data/examples";

        // Each stored file reads back and saves to the same bytes, directly and through streams.
        BehaviorProgram loaded;
        LoadResult parsed = parseProgram(stored, loaded);
        ASSERT_TRUE(parsed.ok) << e.fileName << ": " << parsed.message;
        EXPECT_EQ(serializeProgram(loaded), stored) << e.fileName;
        std::stringstream stream;
        ASSERT_TRUE(saveProgram(stream, loaded));
        BehaviorProgram streamed;
        ASSERT_TRUE(loadProgram(stream, streamed).ok);
        EXPECT_EQ(serializeProgram(streamed), stored) << e.fileName;

        BuildResult r = buildProgram(loaded);
        EXPECT_TRUE(r.ok) << e.fileName << ": " << r.message;
        EXPECT_EQ(r.message, "There is no error!");
    }
}

TEST(ExamplePrograms, CoverTheLanguage)
{
    // Together the examples use every instruction, connective and operand kind.
    std::set<int> instructions, connectives, kinds, roles;
    for (const auto& e : examples::all()) {
        BehaviorProgram p;
        ASSERT_TRUE(e.build(p));
        for (int l = 0; l < p.count(); ++l) {
            for (const auto& c : p.line(l).cells) {
                if (!c.inUse())
                    continue;
                if (c.category() == Category::Instruction && c.code[2] != NotChosen)
                    instructions.insert(c.code[2]);
                else if (c.category() == Category::Connective)
                    connectives.insert(c.code[1]);
                else if (c.isOperand()) {
                    kinds.insert(c.kind());
                    roles.insert(c.role());
                }
            }
        }
    }
    EXPECT_EQ(instructions, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(connectives, (std::set<int>{15, 16, 17}));
    EXPECT_TRUE(kinds.count(Kind::Device) && kinds.count(Kind::Controller) && kinds.count(Kind::Number) &&
                kinds.count(Kind::Name));
    EXPECT_TRUE(roles.count(Role::Button) && roles.count(Role::Label));
}
