// Feeds arbitrary bytes to the simulated controller in every mode: console and boot-loader
// command lines, screen editor commands, control-channel commands and the passing of time.
// It must never crash, hang or grow without bound.
//
// Input: byte 0 picks the starting mode; then 0xFE t lets t x 7 ms pass, 0xFD starts a control
// command that runs to the next '\n', 0xFC takes up to the next byte's count of output, and
// every other byte goes to the controller as if from the PC.

#include "sim/Controller.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const sim::Mode kModes[] = {sim::Mode::Menu, sim::Mode::Console, sim::Mode::Screen,
                                       sim::Mode::Running, sim::Mode::BootLoader};
    sim::ControllerMemory memory;
    sim::JointTable joints = sim::JointTable::standard();
    joints.setUnknown("7");
    sim::Controller controller(memory, joints);
    int64_t now = 0;
    uint8_t first = data[0];
    controller.start(now, (first & 0x80) == 0, kModes[first % 5]);
    size_t i = 1;
    while (i < size) {
        uint8_t byte = data[i++];
        if (byte == 0xFE && i < size) {
            now += 7 * static_cast<int64_t>(data[i++]);
            controller.advance(now);
        } else if (byte == 0xFD) {
            std::string line;
            while (i < size && data[i] != '\n' && line.size() < 64)
                line.push_back(static_cast<char>(data[i++]));
            controller.control(line);
        } else if (byte == 0xFC && i < size) {
            controller.takeOutput(data[i++]);
        } else {
            controller.receive(&byte, 1);
        }
        if (controller.pendingOutput() > 4 * sim::Controller::kMaxPendingOutput)
            std::abort(); // output must stay bounded
    }
    // Let every timer run out: the controller must settle without looping forever.
    for (int step = 0; step < 100; ++step) {
        auto next = controller.nextDeadline();
        if (!next)
            break;
        now = std::max(now + 1, *next);
        controller.advance(now);
        controller.takeOutput();
    }
    controller.takeMemoryChanged();
    return 0;
}
