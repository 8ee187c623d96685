#pragma once
// Which COMn the simulator window takes in the port folder.

#include <string>

namespace simwindow {

// The first number the window tries when none is given or remembered.
constexpr int kFirstSimulatorPort = 9;

// Whether COMn in folder is free for the simulator: no entry of that name, or a link whose
// device is gone (a simulator that ended without tidying up).
bool comPortFree(const std::string& folder, int number);

// The port to serve on: the one given on the command line (taken even when in use: the user
// asked for it), else the remembered one while it is free, else the first free one from 9 up
// (0 when every one up to 256 is taken).
int chooseComPort(const std::string& folder, int given, int remembered);

} // namespace simwindow

namespace simwindow {

// Where the window keeps the controller's memory when not told: kz7sim.mem in the suite's
// folder of the user's data home ($XDG_DATA_HOME when absolute, else ~/.local/share).
std::string defaultMemoryFile(const char* xdgDataHome, const char* home);

} // namespace simwindow
