#pragma once
// One simulated controller with everything around it: its memory (and the file that keeps it),
// the joints and sensor modules on its bus, the pseudo-terminal it answers on, the COMn link
// (and its label) in the port folder, the control channel and the serving loop. kz7sim serves
// on its main thread; the simulator window serves on a thread of its own and reaches the
// controller through inspect() and act(), which hold the loop off while they run.

#include "platform/Clock.h"
#include "sim/ControlFifo.h"
#include "sim/Controller.h"
#include "sim/ControllerMemory.h"
#include "sim/DebugServer.h"
#include "sim/Debugger.h"
#include "sim/PtyHost.h"
#include "sim/PtyServer.h"
#include "sim/SimOptions.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace sim {

class SimHost {
  public:
    // What the port folder says stands behind the simulator's COMn (beside it, in COMn.label).
    static constexpr const char* kPortLabel = "KZ-7 Simulator";

    SimHost() = default;
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    enum class Failure { None, Usage, Setup };
    // Reads the memory file and the profile, applies the joint and sensor lists, opens the
    // control FIFO and the pseudo-terminal and links it as COMn (options.com > 0). On failure
    // nothing stays behind and *error says why; Usage marks a malformed option value.
    Failure open(const SimOptions& options, std::string* error);
    bool isOpen() const { return controller_ != nullptr; }
    const std::string& devicePath() const { return pty_.path(); }
    int com() const { return options_.com; }
    const SimOptions& options() const { return options_; }
    // Why the debug channel beside COMn could not be offered (empty when it is, or without COMn).
    const std::string& debugChannelProblem() const { return debugProblem_; }

    // Serves on the calling thread until a byte is written to stopWriteFd() (a signal handler
    // may write it) or the reader of standard output goes away when so told.
    void serve();
    int stopWriteFd() const { return stopPipe_[1]; }
    // Serves on a thread of its own until stopThread(), which joins it.
    bool startThread(std::string* error);
    void stopThread();

    // Runs f on the controller while the serving loop is held off. inspect() only reads (the
    // controller and its memory); act() may change the controller and wakes the loop so it
    // answers at once.
    template <typename F> auto inspect(F&& f) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(std::as_const(*controller_), std::as_const(memory_));
    }
    template <typename F> auto act(F&& f)
    {
        struct Wake {
            const SimHost& host;
            ~Wake() { host.wake(); }
        } wakeAfter{*this};
        std::lock_guard<std::mutex> lock(mutex_);
        return f(*controller_);
    }
    // Changes the memory (the controller's own, as the boot loader sees it); the memory file is
    // written as after any other change.
    template <typename F> auto changeMemory(F&& f)
    {
        struct Wake {
            SimHost& host;
            ~Wake()
            {
                host.server_->memoryChanged();
                host.wake();
            }
        };
        std::lock_guard<std::mutex> lock(mutex_);
        Wake wakeAfter{*this};
        return f(memory_, *controller_);
    }
    // Paces the line at baud (0: as fast as the pseudo-terminal goes) from its next quiet moment.
    void setPace(long baud);

    // Ends serving (if a thread serves), writes the memory file and removes the COMn link and
    // its label when they are still this simulator's.
    void close();

  private:
    void wake() const;
    void removeLink();

    SimOptions options_;
    ControllerMemory memory_;
    PtyHost pty_;
    std::unique_ptr<ControlFifo> control_; // a new one for each open(): it removes its FIFO when it goes
    std::unique_ptr<Controller> controller_;
    std::unique_ptr<Debugger> debugger_;
    std::unique_ptr<DebugServer> debugServer_;
    std::string debugProblem_;
    std::unique_ptr<PtyServer> server_;
    mutable std::mutex mutex_;
    int wakePipe_[2] = {-1, -1};
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    bool linked_ = false;
};

} // namespace sim
