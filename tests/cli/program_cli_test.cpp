// tessaban program dump/check/build, run as a user would, on files saved by the core.

#include "behaviour/ExamplePrograms.h"
#include "behaviour/FramedProgram.h"

#include "behaviour/ProgramBuilder.h"
#include "behaviour/ProgramFile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace behaviour;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    std::string output; // stdout and stderr together
};

CliRun tessaban(const std::string& args)
{
    const std::string command = std::string(TESSABAN_BIN_DIR) + "/tessaban " + args + " 2>&1";
    CliRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        r.output.append(buf, n);
    int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::vector<uint8_t> readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ProgramCli : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.ok());
        BehaviorProgram p;
        ASSERT_TRUE(examples::workedExample(p));
        p.line(1).label = "two";
        p.line(1).comment = "the \"worked\" line";
        ASSERT_TRUE(saveProgramFile(path("worked.tpg"), p).ok);
    }
    std::string path(const std::string& name) const { return folder_.file(name); }

    testsupport::TempFolder folder_{"behaviour_cli_test"};
    const fs::path dir_ = folder_.path();
};

} // namespace

TEST_F(ProgramCli, BuildWritesTheImageAndChecksum)
{
    CliRun r = tessaban("program build " + path("worked.tpg") + " -o " + path("image.bin"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("n = 18"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("0x2C"), std::string::npos) << r.output;
    EXPECT_EQ(readAll(path("image.bin")),
              (std::vector<uint8_t>{0x04, 0x80, 0x00, 0x64, 0x1A, 0x01, 0x04, 0x32, 0x00, 0x00, 0x02, 0x00,
                                    0xC8, 0x1F, 0x04, 0x01, 0x00, 0x05, 0x2C}));

    ASSERT_TRUE(saveProgramFile(path("se.tpg"), framed()).ok);
    r = tessaban("program build --output=" + path("se.bin") + " " + path("se.tpg"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readAll(path("se.bin")), (std::vector<uint8_t>{0x04, 0x05, 0x09}));
}

TEST_F(ProgramCli, CheckPrintsTheProgrammersMessageAndItsTables)
{
    CliRun r = tessaban("program check " + path("worked.tpg"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "There is no error!\n");

    r = tessaban("program check --verbose " + path("worked.tpg"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("\"two\" at address 1 (0x0001)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Marked cells:\n  none"), std::string::npos) << r.output;

    // A program with a number as LOAD destination.
    ASSERT_TRUE(saveProgramFile(path("bad.tpg"), framed([](ProgramBuilder& b) {
                                    b.line().load(Operand::number(3), Operand::number(4));
                                }))
                    .ok);
    r = tessaban("program check -v " + path("bad.tpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output.rfind("There is an incorrect program grammar!\nThe total number of errors: 1\n", 0),
              0u)
        << r.output;
    EXPECT_NE(r.output.find("line 2 cell 1: \"3\""), std::string::npos) << r.output;
    r = tessaban("program build " + path("bad.tpg") + " -o " + path("bad.bin"));
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(path("bad.bin")));

    ASSERT_TRUE(
        saveProgramFile(path("jump.tpg"), framed([](ProgramBuilder& b) { b.line().jump("nowhere"); })).ok);
    r = tessaban("program check " + path("jump.tpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "Found incorrect jump label!\n");
}

TEST_F(ProgramCli, DumpListsTheLinesInUse)
{
    CliRun r = tessaban("program dump " + path("worked.tpg"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("100 lines, current cell: line 3 cell 0"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("line 2  edited  label \"two\"  comment \"the \\\"worked\\\" line\""),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("device register: ID 100, address 0x1a (Left IR sensor data)"),
              std::string::npos);
    EXPECT_NE(r.output.find("separator 6: \"<-\""), std::string::npos);
    EXPECT_NE(r.output.find("KZ-7 register AUX LED (0x1f)"), std::string::npos);
    EXPECT_EQ(r.output.find("line 4"), std::string::npos); // blank lines are left out
}

TEST_F(ProgramCli, BadFilesAndUsageGetClearErrors)
{
    CliRun r = tessaban("program check " + path("missing.tpg"));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.output.find("No such file"), std::string::npos) << r.output;

    {
        std::ofstream(path("text.tpg")) << "not a program at all";
    }
    r = tessaban("program dump " + path("text.tpg"));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.output.find("It is not Tessaban program file."), std::string::npos) << r.output;

    auto bytes = readAll(path("worked.tpg"));
    bytes.resize(bytes.size() / 2);
    {
        std::ofstream out(path("half.tpg"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    r = tessaban("program build " + path("half.tpg") + " -o " + path("half.bin"));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.output.find("truncated"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(path("half.bin")));

    EXPECT_EQ(tessaban("program build " + path("worked.tpg")).status, 2); // no -o
    EXPECT_EQ(tessaban("program check").status, 2);
    EXPECT_EQ(tessaban("program check a.tpg b.tpg").status, 2);
    EXPECT_EQ(tessaban("program dump --bogus x.tpg").status, 2);
    for (const char* sub : {"dump", "check", "build"}) {
        r = tessaban(std::string("program ") + sub + " --help");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.output.rfind(std::string("Usage: tessaban program ") + sub, 0), 0u) << r.output;
    }
    // The image cannot be written: the previous file stays, the status says so.
    r = tessaban("program build " + path("worked.tpg") + " -o " + path("no/such/dir/x.bin"));
    EXPECT_EQ(r.status, 3);
}

// Where -o may write: through a link to the file it leads to (the link stays), never over a
// device, a FIFO or the program itself, which are left as they were.
TEST_F(ProgramCli, BuildWritesThroughLinksAndRefusesWhatIsNoImageFile)
{
    const std::vector<uint8_t> program = readAll(path("worked.tpg"));
    fs::create_directory(dir_ / "out");
    {
        std::ofstream(dir_ / "out" / "image.bin") << "old";
    }
    fs::create_symlink(dir_ / "out" / "image.bin", dir_ / "link.bin");
    fs::create_symlink(dir_ / "worked.tpg", dir_ / "program-link.tpg");
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);

    CliRun r = tessaban("program build " + path("worked.tpg") + " -o " + path("link.bin"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.bin"));
    EXPECT_EQ(readAll(dir_ / "out" / "image.bin").size(), 19u);
    EXPECT_NE(r.output.find("19 bytes written"), std::string::npos) << r.output;

    struct Case {
        std::string output;
        int status;
        const char* reason;
    };
    const Case refused[] = {
        {"/dev/null", 3, "not a regular file"},
        {path("fifo"), 3, "not a regular file"},
        {path("out"), 3, "Is a directory"},
        {path("worked.tpg"), 2, "the program file itself"},
        {path("program-link.tpg"), 2, "the program file itself"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.output);
        r = tessaban("program build " + path("worked.tpg") + " -o " + c.output);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_NE(r.output.find(c.reason), std::string::npos) << r.output;
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(fs::status(path("fifo")).type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_directory(dir_ / "out"));
    EXPECT_EQ(readAll(path("worked.tpg")), program);
}
