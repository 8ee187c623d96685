// Any bytes as a .tpg file and as a clipboard block: never a crash or an out-of-bounds access,
// a refused file leaves the program as it was, and whatever loads saves back to a file that
// loads to the same bytes.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/ProgramFile.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace behaviour;
    // Loading replaces every line slot in use and keeps the others blank, so one program can
    // take every input without carrying anything from one to the next.
    static BehaviorProgram program;
    static BehaviorProgram again;

    const int countBefore = program.count();
    const ProgramLine firstBefore = program.line(0);
    LoadResult r = parseProgram(data, size, program);
    if (!r.ok) {
        if (r.message.empty() || program.count() != countBefore || !(program.line(0) == firstBefore))
            std::abort();
    } else {
        std::vector<uint8_t> saved = serializeProgram(program);
        if (!parseProgram(saved, again).ok || serializeProgram(again) != saved)
            std::abort();
    }

    // The same bytes as a clipboard block, pasted over a selection of a fresh program.
    std::vector<uint8_t> block(data, data + size);
    std::vector<ProgramLine> lines;
    if (readLineBlock(block, BehaviorProgram::Capacity, lines)) {
        BehaviorProgram target;
        target.setConfirm([](const std::string&) { return true; });
        target.selectOne(static_cast<int>(size % 100));
        if (!target.pasteBlock(block))
            std::abort();
        if (target.count() < BehaviorProgram::MinimumCount || target.count() > BehaviorProgram::Capacity)
            std::abort();
    }
    return 0;
}
