// Feeds arbitrary request lines to the simulator's debugger while a program with a CALL runs
// under it. Whatever arrives, every request gets exactly one "ok"/"error" answer line, a held
// program never runs a line, and the controller still leaves the running state on the burst.
//
// Input: lines separated by '\n'; between two requests the controller runs 10 ms.

#include "sim/Controller.h"
#include "sim/Debugger.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// START; 1 again: COMPUTE n = n + 1; 12 CALL sub; 16 JUMP again; 20 sub: LOAD m <- n; 27 RETURN;
// 28 END.
const uint8_t kProgram[] = {
    0x04,                                                             // 0 START
    0x03, 0x05, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x04, 0x01, 0x00, // 1 COMPUTE n = n + 1
    0x06, 0x04, 0x14, 0x00,                                           // 12 CALL 0014
    0x01, 0x04, 0x01, 0x00,                                           // 16 JUMP 0001
    0x02, 0x05, 0x01, 0x00, 0x05, 0x00, 0x00,                         // 20 LOAD m <- n
    0x07,                                                             // 27 RETURN
    0x05,                                                             // 28 END
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sim::ControllerMemory memory;
    memory.write(sim::ControllerMemory::kProgram, kProgram, sizeof kProgram);
    sim::Controller controller(memory, sim::JointTable::standard());
    int64_t now = 0;
    controller.start(now, true, sim::Mode::Menu);
    sim::Debugger debugger(controller);
    controller.receive("\t\t\r");

    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        const size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        const std::string answer = debugger.request(line);
        if (answer.rfind("ok", 0) != 0 && answer.rfind("error ", 0) != 0)
            std::abort();
        if (answer.find('\n') != std::string::npos || answer.find('\r') != std::string::npos)
            std::abort(); // one line, whatever the request held
        const uint64_t before = controller.running().interpreter().linesRun();
        const bool held = debugger.holding();
        now += 10;
        controller.advance(now);
        debugger.observe();
        for (const std::string& event : debugger.takeEvents())
            if (event.rfind("event ", 0) != 0)
                std::abort();
        if (held && controller.running().interpreter().linesRun() != before)
            std::abort();
        debugger.stateLine();
    }
    controller.receive(std::string(255, 0x55));
    if (controller.mode() != sim::Mode::Menu)
        std::abort();
    return 0;
}
