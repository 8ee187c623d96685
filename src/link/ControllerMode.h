#pragma once
// The KZ-7 controller's console modes. The numbers are fixed: they are compared and stored as
// plain integers by everything that talks to the controller.

namespace comm {

enum class ControllerMode : int {
    Menu = 0,       // the mode-selection menu; the highlighted entry is reported separately
    Console = 1,    // the command console (menu entry 0)
    Screen = 2,     // the full-screen page editor (menu entry 1)
    Running = 3,    // the stored behaviour program plays (menu entry 2); silent to probes
    BootLoader = 4, // receives and sends memory images
    Unknown = 255,  // before any probe, or after a probe that could not tell
};

constexpr int modeValue(ControllerMode m)
{
    return static_cast<int>(m);
}

// "MENU", "CONSOLE", "SCREEN", "RUNNING", "BOOTLOADER" or "UNKNOWN".
const char* modeName(ControllerMode m);
const char* modeName(int mode);
// Parses the names above (case-insensitive); Unknown when the text names no mode.
ControllerMode modeFromName(const char* name);

} // namespace comm
