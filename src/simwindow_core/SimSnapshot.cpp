#include "simwindow_core/SimSnapshot.h"

#include <cstdio>

namespace simwindow {

namespace {

const char* const kMenuEntries[] = {"Console", "Motion editor", "Running"};

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

} // namespace

SimSnapshot SimSnapshot::of(const sim::Controller& controller)
{
    SimSnapshot s;
    s.mode = controller.mode();
    s.menuEntry = controller.menuEntry();
    const sim::RunningState& running = controller.running();
    s.programActive = running.active();
    s.program = running.interpreter().state();
    s.programAt = running.interpreter().position();
    s.programError = running.interpreter().error();
    s.auxLed = running.auxLed();
    s.buttons = running.buttons();
    s.silent = controller.silent();
    s.stalled = controller.stalled();
    s.vanished = controller.vanished();
    const sim::ScreenEditor& editor = controller.editor();
    s.pagePlaying = editor.playing();
    s.page = editor.pageNumber();
    const sim::JointTable& table = controller.joints();
    for (int id = 0; id < sim::kJointRows; ++id) {
        const auto i = static_cast<size_t>(id);
        if (!table.present[i])
            s.joints[i] = kAbsent;
        else
            s.joints[i] = table.unknown[i] ? kUnknown : editor.currentValue(id);
        s.torque[i] = editor.torqueOn(id);
    }
    return s;
}

std::string SimSnapshot::modeText() const
{
    switch (mode) {
    case sim::Mode::Off:
        return "Power off";
    case sim::Mode::Starting:
        return "Starting";
    case sim::Mode::Halted:
        return "No firmware: only the boot loader answers";
    case sim::Mode::Menu:
        return std::string("Menu: ") + kMenuEntries[menuEntry >= 0 && menuEntry < 3 ? menuEntry : 0] +
               " highlighted";
    case sim::Mode::Console:
        return "Console";
    case sim::Mode::Screen:
        return "Motion editor: page " + std::to_string(page) + (pagePlaying ? " playing" : "");
    case sim::Mode::BootLoader:
        return "Boot loader";
    case sim::Mode::Running:
        break;
    }
    std::string text = "Running: ";
    switch (program) {
    case sim::Interpreter::State::Empty:
        text += programActive ? "no behaviour program" : "program stopped";
        break;
    case sim::Interpreter::State::Running:
        text += "program at line " + hex4(programAt);
        break;
    case sim::Interpreter::State::Ended:
        text += "program ended";
        break;
    case sim::Interpreter::State::Failed:
        text += "program error " + programError;
        break;
    }
    if (pagePlaying)
        text += ", motion page playing";
    return text;
}

std::string SimSnapshot::lineText(int com, long baud) const
{
    std::string text = "COM" + std::to_string(com) + ", ";
    text += baud > 0 ? std::to_string(baud) + " baud" : std::string("fast line");
    if (vanished)
        text += ", device gone";
    else if (silent)
        text += ", silent";
    else if (stalled)
        text += ", stalled";
    return text;
}

} // namespace simwindow
