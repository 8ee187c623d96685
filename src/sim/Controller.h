#pragma once
// The simulated KZ-7 controller as a state machine: bytes from the PC go in through receive(),
// bytes for the PC come out of takeOutput(), and time moves only when advance() is called, so
// tests and the fuzzer drive it without a terminal or a real clock.
//
// Modes: the mode menu (TAB moves the highlight over Console, Screen, Running; Enter selects;
// "***" answers with the highlighted entry twice), the console, the motion page editor, the
// running state, and the boot loader (reached with a run of '#' from the menu or right after
// power-on). The control channel switches the power, presses the START and MODE buttons,
// injects faults into what the controller sends, and acts on the robot a program runs on
// (buttons held, sensor readings, remote data; see RunningState).

#include "sim/BootLoader.h"
#include "sim/ControllerMemory.h"
#include "sim/FaultInjector.h"
#include "sim/JointTable.h"
#include "sim/LineEditor.h"
#include "sim/RunningState.h"
#include "sim/ScreenEditor.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class Mode { Off, Starting, Halted, Menu, Console, Screen, Running, BootLoader };

const char* modeName(Mode mode);
std::optional<Mode> modeFromName(std::string_view name);

class Controller {
  public:
    // How long after power-on a run of '#' still catches the boot loader.
    static constexpr int64_t kPowerOnWindowMs = 500;
    static constexpr int kHashesForBootLoader = 10;
    static constexpr int kBurstForMenu = 255;
    static constexpr size_t kMaxPendingOutput = 4u << 20;

    Controller(ControllerMemory& memory, JointTable joints);
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Puts the controller into its first state without sending anything: switched off, or
    // switched on and already in mode (Menu unless told otherwise).
    void start(int64_t now, bool poweredOn, Mode mode = Mode::Menu);

    void advance(int64_t now);
    void receive(const uint8_t* data, size_t count);
    void receive(std::string_view bytes)
    {
        receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    // The earliest time at which advance() has something to do.
    std::optional<int64_t> nextDeadline() const;

    // Up to maxBytes of what the controller sends now, after drop, garble, stall and vanish.
    std::string takeOutput(size_t maxBytes = SIZE_MAX);
    size_t pendingOutput() const { return out_.size(); }

    // One control-channel command ("power on", "press START", "drop 3", ...). False with a
    // reason in *error for an unknown or malformed command (nothing changes then). A command
    // that answers ("dump") puts its answer in *reply.
    bool control(std::string_view line, std::string* error = nullptr, std::string* reply = nullptr);
    // "mode=running program=running at=0011 ... aux=1 ... joints=1:512,...": the state the
    // "dump" command reports.
    std::string stateLine() const;
    const RunningState& running() const { return running_; }
    // The debugger's hook into the programs the running state plays (nullptr: none).
    void setLineHook(LineHook* hook) { running_.setLineHook(hook); }

    Mode mode() const { return mode_; }
    int menuEntry() const { return menuEntry_; }
    bool vanished() const { return faults_.vanished(); }
    bool silent() const { return faults_.silent(); }
    int64_t stalledUntil() const { return faults_.stalledUntil(); }
    bool stalled() const { return faults_.stalled(now_); }
    // True once after the memory changed (a boot-loader image or a saved page).
    bool takeMemoryChanged();
    const ScreenEditor& editor() const { return *editor_; }
    const JointTable& joints() const { return joints_; }
    std::string firmwareVersion() const;

  private:
    using Words = std::vector<std::string>;

    void process(uint8_t byte);
    void powerOn();
    void powerOff();
    void bootFirmware();
    void enterMenu();
    void enterConsole();
    void enterScreen();
    void enterRunning();
    void enterBootLoader();
    void pressStart();
    void pressMode();

    void menuByte(uint8_t byte);
    void consoleByte(uint8_t byte);
    void consoleCommand(const std::string& line);
    void loaderByte(uint8_t byte);
    void runningByte(uint8_t byte);
    void updateStep();

    // Control-channel commands, one per row of the control table. Each returns false when
    // the words are not its own (the running state may know them); a failure that is its
    // own leaves the reason in `why`.
    bool powerCommand(const Words& words, std::string& why, std::string* reply);
    bool pressCommand(const Words& words, std::string& why, std::string* reply);
    bool stallCommand(const Words& words, std::string& why, std::string* reply);
    bool dropCommand(const Words& words, std::string& why, std::string* reply);
    bool garbleCommand(const Words& words, std::string& why, std::string* reply);
    bool vanishCommand(const Words& words, std::string& why, std::string* reply);
    bool silentCommand(const Words& words, std::string& why, std::string* reply);
    bool dumpCommand(const Words& words, std::string& why, std::string* reply);

    // Queues bytes for the PC; takeOutput() hands them over through the faults.
    void send(std::string_view bytes);

    ControllerMemory& memory_;
    JointTable joints_;
    std::unique_ptr<ScreenEditor> editor_;
    int64_t now_ = 0;
    Mode mode_ = Mode::Off;
    std::string out_;

    // Menu.
    int menuEntry_ = 0;
    int stars_ = 0;
    int hashes_ = 0;
    int64_t windowEnd_ = 0;

    // Console command line.
    LineEditor consoleLine_{out_, LineEditor::EchoPastEnd::No};

    // Servo update report in progress.
    bool updating_ = false;
    std::vector<int> updateIds_;
    size_t updateNext_ = 0;
    int64_t updateDue_ = 0;

    // Running.
    int burst_ = 0;
    RunningState running_{joints_, editor_, out_};

    BootLoader bootLoader_{memory_, out_};
    FaultInjector faults_{out_};
};

} // namespace sim
