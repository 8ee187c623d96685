#pragma once
// kz7sim in a scratch folder for end-to-end tests: started (through Kz7SimProcess) with a
// memory file and a COM link in the bench's own port folder; stopped when the bench goes away. Also
// runs the tessaban command line against it and writes the files the jobs take.

#include "TestFiles.h"
#include "support/Kz7SimProcess.h"
#include "support/TempFolder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace linktest {

struct SimOptions {
    bool poweredOn = true;
    bool blankFirmware = false;
    std::string mode;              // "console", "running", ... (empty: the menu)
    long pace = 0;                 // baud rate to pace at (0: as fast as the pty goes)
    int com = 7;                   // linked as COMn in the bench's port folder
    std::vector<std::string> more; // further kz7sim options ("--sensors", "100")
};

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

class SimBench {
  public:
    explicit SimBench(SimOptions options = {});
    ~SimBench();
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    bool ok() const { return started_ && !sim_.devicePath().empty(); }
    const std::string& device() const { return sim_.devicePath(); }
    std::string portName() const { return "COM" + std::to_string(options_.com); }
    const std::string& folder() const { return folder_; }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    // One control line: "power on", "press START", "stall 3000", "garble 4", "vanish 1000" ...
    void control(const std::string& line);
    // Sends a control line after delayMs, from a detached helper that the bench outlives.
    void controlLater(const std::string& line, int delayMs);

    // The simulator's memory file as it is on disk now (it is saved after every change).
    std::vector<uint8_t> memory() const;

    // Runs tessaban with args, TESSABAN_PORTS and XDG_CONFIG_HOME pointing into the bench,
    // standard input from /dev/null; waits at most timeoutSeconds.
    // onOutput, when given, sees standard output as it grows (to press a button on cue).
    CommandResult tessaban(const std::vector<std::string>& args, int timeoutSeconds = 120,
                           const std::function<void(const std::string&)>& onOutput = {}) const;

    // The process id of the tessaban command that runs now (for onOutput to signal it), or -1.
    int runningCommand() const { return command_.load(); }

    // Saves the programmer's port setting ("Com Port") in the bench's settings folder.
    void savePortSetting(int number) const;

  private:
    SimOptions options_;
    testsupport::PortFolder scratch_{"linktest", "ports"};
    std::string folder_ = scratch_.path().string();
    testsupport::Kz7SimProcess sim_;
    bool started_ = false;
    mutable std::atomic<int> command_{-1};
};

} // namespace linktest
