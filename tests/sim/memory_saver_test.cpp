// The simulator's memory file is written beside its serving loop: what was handed over last is
// what the file holds once flushed, and what still waits when the saver goes is not lost.

#include "sim/MemorySaver.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

sim::ControllerMemory withProgramByte(uint8_t value)
{
    sim::ControllerMemory memory;
    memory.write(sim::ControllerMemory::kProgram, &value, 1);
    return memory;
}

uint8_t programByteIn(const std::string& path)
{
    sim::ControllerMemory memory;
    std::string error;
    EXPECT_TRUE(memory.load(path, &error)) << error;
    return memory.data()[sim::ControllerMemory::kProgram];
}

} // namespace

TEST(MemorySaver, TheFileHoldsTheLastCopyHandedOverOnceFlushedOrGone)
{
    testsupport::TempFolder folder("memory-saver");
    ASSERT_TRUE(folder.ok());
    const std::string path = folder.file("kz7.mem");
    {
        sim::MemorySaver saver(path);
        for (uint8_t v = 1; v <= 50; ++v)
            saver.save(withProgramByte(v));
        saver.flush();
        EXPECT_EQ(programByteIn(path), 50);
        saver.save(withProgramByte(77)); // still waiting, or being written, when the saver goes
    }
    EXPECT_EQ(programByteIn(path), 77);
    EXPECT_EQ(folder.entryCount(), 1u) << "no temporary file is left behind";
}
