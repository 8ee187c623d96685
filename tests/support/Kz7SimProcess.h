#pragma once
// Runs kz7sim, the software KZ-7 controller, as a child process for end-to-end tests:
//
//     testsupport::Kz7SimProcess sim;
//     ASSERT_TRUE(sim.start({"--mode", "console"})) << sim.error();
//     platform::SerialPort port;
//     port.open(sim.devicePath(), 57600);
//     sim.control("press START");
//     sim.stop(); // also done by the destructor
//
// The program is taken from the build's bin folder (TESSABAN_BIN_DIR); the environment is
// passed on, so TESSABAN_PORTS set by a test applies to "--com N" links.

#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class Kz7SimProcess {
  public:
    Kz7SimProcess() = default;
    ~Kz7SimProcess();
    Kz7SimProcess(const Kz7SimProcess&) = delete;
    Kz7SimProcess& operator=(const Kz7SimProcess&) = delete;

    // Starts kz7sim with these options (see docs/kz7sim.md) and waits up to 5 s for its device
    // path. A control FIFO in a private temporary folder is added unless options name one.
    // False (with error()) when it could not start; a running simulator is stopped first.
    bool start(const std::vector<std::string>& options = {});
    // The pseudo-terminal the simulator serves, e.g. "/dev/pts/7"; empty before start.
    const std::string& devicePath() const { return devicePath_; }
    // Sends one control command ("power on", "press START", "drop 3", ...). The command is in
    // effect for every byte written to the device after this returns.
    bool control(const std::string& command);
    // SIGTERM, then waits up to 5 s (SIGKILL after that). True when it exited with status 0.
    bool stop();

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& controlPath() const { return controlPath_; }
    const std::string& error() const { return error_; }

  private:
    static std::string programPath(); // TESSABAN_BIN_DIR/kz7sim
    void cleanUp();

    pid_t pid_ = -1;
    int stdoutPipe_ = -1; // held open: the simulator ends when it closes
    std::string devicePath_;
    std::string controlPath_;
    std::string tempDir_;
    std::string error_;
};

} // namespace testsupport
