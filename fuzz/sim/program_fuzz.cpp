// Feeds arbitrary program images to the running state: the decoder, every instruction on the
// simulated robot (registers, joints, motion pages) and the pacing. Whatever the image, it must
// never crash, hang, run more lines than its pace allows or let its output grow without bound.
//
// Input: byte 0 sets the robot's buttons (low 5 bits); bytes 1..2 are written into sensor 100's
// IR registers; the rest is the image at 0xA000 (at most the 8 KiB program area).

#include "sim/Controller.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    sim::ControllerMemory memory;
    size_t imageSize =
        std::min<size_t>(size - 3, sim::ControllerMemory::kServoImage - sim::ControllerMemory::kProgram);
    memory.write(sim::ControllerMemory::kProgram, data + 3, imageSize);
    sim::JointTable joints = sim::JointTable::standard();
    joints.setUnknown("7");
    joints.sensors[100] = true;
    sim::Controller controller(memory, joints);
    int64_t now = 0;
    controller.start(now, true, sim::Mode::Menu);
    const char* buttons[] = {"press r", "press l", "press d", "press u", "press s"};
    for (int bit = 0; bit < 5; ++bit)
        if (data[0] & (1 << bit))
            controller.control(buttons[bit]);
    controller.control("sensor 100 0x1a " + std::to_string(data[1]));
    controller.control("sensor 100 0x1b " + std::to_string(data[2]));
    controller.control("remocon " + std::to_string(data[1] * 256 + data[2]));
    controller.receive("\t\t\r");
    if (controller.mode() != sim::Mode::Running)
        std::abort();

    // Two seconds of running, the output taken now and then as a reader would.
    for (int step = 0; step < 200; ++step) {
        now += 10;
        controller.advance(now);
        if (step % 7 == 0)
            controller.takeOutput();
        if (controller.pendingOutput() > sim::RunningState::kOutputRoom + 4096)
            std::abort(); // prints must wait for the line
    }
    const sim::Interpreter& program = controller.running().interpreter();
    if (program.linesRun() > static_cast<uint64_t>(sim::RunningState::kLinesPerMs * (now + 100)))
        std::abort(); // paced
    if (program.position() > 8192 || program.callDepth() > sim::Interpreter::kCallDepth)
        std::abort();
    controller.stateLine();
    // The burst still brings it back to the menu.
    controller.receive(std::string(255, 0x55));
    if (controller.mode() != sim::Mode::Menu)
        std::abort();
    return 0;
}
