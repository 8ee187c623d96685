#pragma once
// kz7sim's command line: what it may be told and how the words are read.

#include "sim/Controller.h"

#include <string>
#include <vector>

namespace sim {

struct SimOptions {
    int com = 0;
    std::string memoryFile;
    std::string controlFifo;
    long pace = 0;
    bool powerOn = true;
    Mode mode = Mode::Menu;
    std::string profile;
    std::string joints;
    std::string unknown;
    std::string sensors;
    bool blankFirmware = false;
    bool watchStdout = false;
};

extern const char kSimUsage[];

struct ParsedOptions {
    enum class Outcome { Run, Help, Version, Error };
    Outcome outcome = Outcome::Run;
    SimOptions options;
    std::string error; // for Error: what was wrong, one line
};

// Reads the arguments after the program name. "--name value" and "--name=value" both work.
ParsedOptions parseSimOptions(const std::vector<std::string>& args);

} // namespace sim
