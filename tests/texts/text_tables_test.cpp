// Each program writes a text it shows in one place, its table. A number given twice, or a table's
// text spelled out as a literal elsewhere in the program's sources (where it would drift from the
// table unnoticed), fails here.

#include "posewright_texts/PosewrightTexts.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Program {
    const char* name;
    std::span<const platform::NumberedText> table;
    const char* (*lookup)(int);
    std::string tableSource;          // the one file allowed to spell the texts
    std::vector<std::string> folders; // the program's sources, below src/
};

std::vector<Program> programs()
{
    return {
        {"Taskloom",
         taskloom::textTable(),
         taskloom::text,
         "taskloom_texts/TaskloomTexts.cpp",
         {"taskloom_texts", "taskloom_base", "programmer", "behaviour", "link", "firmware", "debugclient",
          "cli"}},
        {"Posewright",
         posewright::textTable(),
         posewright::text,
         "posewright_texts/PosewrightTexts.cpp",
         {"posewright_texts", "posewright_core", "posewright", "motion", "robotview", "robotgl"}},
    };
}

// The string literals of a C++ source with their escapes undone, adjacent literals joined as the
// compiler joins them; comments and character literals are skipped.
std::vector<std::string> stringLiterals(const std::string& src)
{
    std::vector<std::string> out;
    bool joinable = false; // only blanks and comments since the last literal ended
    size_t i = 0;
    const auto unescape = [](char c) {
        switch (c) {
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case 'r':
            return '\r';
        case '0':
            return '\0';
        default:
            return c;
        }
    };
    while (i < src.size()) {
        const char c = src[i];
        if (src.compare(i, 2, "//") == 0) {
            i = src.find('\n', i);
            i = i == std::string::npos ? src.size() : i;
        } else if (src.compare(i, 2, "/*") == 0) {
            i = src.find("*/", i + 2);
            i = i == std::string::npos ? src.size() : i + 2;
        } else if (c == '\'') {
            for (++i; i < src.size() && src[i] != '\''; ++i)
                i += src[i] == '\\';
            ++i;
            joinable = false;
        } else if (c == '"') {
            std::string text;
            for (++i; i < src.size() && src[i] != '"'; ++i)
                text += src[i] == '\\' ? unescape(src[++i]) : src[i];
            ++i;
            if (joinable)
                out.back() += text;
            else
                out.push_back(text);
            joinable = true;
        } else {
            if (!std::isspace(static_cast<unsigned char>(c)))
                joinable = false;
            ++i;
        }
    }
    return out;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TextTables, EachNumberOnceAndEachNumberFindsItsText)
{
    for (const Program& p : programs()) {
        SCOPED_TRACE(p.name);
        ASSERT_FALSE(p.table.empty());
        std::map<int, int> seen;
        for (const platform::NumberedText& e : p.table) {
            EXPECT_EQ(++seen[e.number], 1) << "number " << e.number << " is given twice";
            EXPECT_STRNE(e.text, "") << e.number;
            EXPECT_EQ(p.lookup(e.number), e.text) << e.number; // the very entry, not a twin
        }
        EXPECT_STREQ(p.lookup(-1), "");
    }
}

TEST(TextTables, NoTableTextIsWrittenOutsideItsTable)
{
    const fs::path src = fs::path(TESSABAN_SOURCE_DIR) / "src";
    for (const Program& p : programs()) {
        SCOPED_TRACE(p.name);
        std::map<std::string, int> numberOf;
        for (const platform::NumberedText& e : p.table)
            numberOf[e.text] = e.number;
        size_t scanned = 0;
        for (const std::string& folder : p.folders) {
            ASSERT_TRUE(fs::is_directory(src / folder)) << folder;
            for (const auto& f : fs::recursive_directory_iterator(src / folder)) {
                const std::string ext = f.path().extension().string();
                if (!f.is_regular_file() || (ext != ".cpp" && ext != ".h"))
                    continue;
                if (f.path() == src / p.tableSource)
                    continue;
                ++scanned;
                for (const std::string& literal : stringLiterals(readFile(f.path())))
                    if (auto it = numberOf.find(literal); it != numberOf.end())
                        ADD_FAILURE() << fs::relative(f.path(), src).string() << " spells text " << it->second
                                      << " of the table: \"" << literal << "\"";
            }
        }
        EXPECT_GT(scanned, 10u);
    }
}

// The scan itself: a literal split over lines still counts, comments and characters do not.
TEST(TextTables, LiteralsAreReadAsTheCompilerJoinsThem)
{
    const std::string src = "f(\"Found \"  // a comment with \"quotes\"\n"
                            "  \"it!\\n\\\"x\\\"\", '\"', \"two\");\n"
                            "/* \"in a block\" */ g(\"three\" /* between */ \"four\");";
    EXPECT_EQ(stringLiterals(src), (std::vector<std::string>{"Found it!\n\"x\"", "two", "threefour"}));
}

} // namespace
