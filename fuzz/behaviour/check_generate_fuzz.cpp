// Whatever program loads is checked and generated: never a read or write out of bounds, and a
// generated image always fits the program area with a correct checksum.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace behaviour;
    // Loading replaces every slot in use and leaves the rest blank: one program serves every input.
    static BehaviorProgram program;
    if (!parseProgram(data, size, program).ok)
        return 0;
    BuildResult r = buildProgram(program);
    if (r.message.empty())
        std::abort();
    if (r.ok) {
        const int n = program.image.length;
        if (n <= 0 || n + 1 > ProgramImage::Capacity || r.bytes.size() != static_cast<size_t>(n) + 1)
            std::abort();
        unsigned sum = 0;
        for (int i = 0; i < n; ++i)
            sum += r.bytes[static_cast<size_t>(i)];
        if (static_cast<uint8_t>(sum) != r.bytes.back())
            std::abort();
        // A second run over the same program gives the same image.
        BuildResult again = buildProgram(program);
        if (!again.ok || again.bytes != r.bytes)
            std::abort();
    }
    return 0;
}
