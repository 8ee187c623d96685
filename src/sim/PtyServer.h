#pragma once
// kz7sim's serving loop: moves bytes between the pseudo-terminal and the controller through the
// line, runs the control commands, keeps the memory file current (written beside the loop, so
// that a slow disk does not hold the answers back) and sleeps until something can happen. Ends
// when stopFd becomes readable (the signal handler writes to it) or, when asked, when the
// reader of standard output goes away.

#include "platform/Clock.h"
#include "sim/ControlFifo.h"
#include "sim/Controller.h"
#include "sim/DebugServer.h"
#include "sim/MemorySaver.h"
#include "sim/PacedLine.h"
#include "sim/PtyHost.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace sim {

class PtyServer {
  public:
    struct Settings {
        long pace = 0;          // baud; 0: no line pacing
        std::string memoryFile; // empty: the memory is not kept
        bool watchStdout = false;
        int stopFd = -1;
        // Shared with another thread that reaches the controller: the loop holds it while it
        // works and lets go while it sleeps. A byte on wakeFd ends the sleep (that thread
        // changed something the loop must look at).
        std::mutex* guard = nullptr;
        int wakeFd = -1;
        DebugServer* debug = nullptr; // the debug channel, when one is offered
    };

    PtyServer(Controller& controller, ControllerMemory& memory, PtyHost& pty, ControlFifo& control,
              Settings settings, platform::Clock& clock);

    // Serves until told to stop, then writes the memory file a last time.
    void run();

    // For the thread that shares the guard, while it holds it: the memory was changed from
    // outside (the file is written as after any change), and the line's rate is to become
    // baud (0: unpaced) once nothing is on its way.
    void memoryChanged() { memoryDirty_ = true; }
    void setPace(long baud) { wantedPace_ = baud; }

  private:
    // Reads more of what the PC wrote, while the queue has room and the controller listens.
    static constexpr size_t kMaxQueuedInput = 1u << 20;

    void runControlCommands();
    void readFromPc();
    void deliverInput();
    void sendOutput();
    void checkVanish(int64_t nowMs);
    void saveMemory();
    int64_t sleepUs(int64_t nowUs) const;

    Controller& controller_;
    ControllerMemory& memory_;
    PtyHost& pty_;
    ControlFifo& control_;
    Settings settings_;
    platform::Clock& clock_;
    PacedLine line_;

    std::string outbox_;                 // carried by the line, not yet taken by the pseudo-terminal
    std::unique_ptr<MemorySaver> saver_; // none when the memory is not kept
    int64_t lastSaveMs_ = 0;
    int64_t vanishSeenMs_ = -1;
    bool memoryDirty_ = false;
    long wantedPace_ = -1; // none asked
};

} // namespace sim
