#pragma once
// The controller's maintenance jobs as plain sequences over a ControllerLink: program download
// and play, firmware update and recovery, servo update, motion backup and restore. Each job
// ends with the message the user must see (a string number of LinkMessages.h, sometimes with
// the system's reason for a file error) and leaves the controller where the job says. A job
// runs on one thread; whoever shows its progress reads link.progress() from another.
//
// The jobs never show anything themselves: what the user must do or see on the way goes
// through a MaintenanceHost (a dialog, the command line, a test).

#include "firmware/MemoryArea.h"
#include "link/ControllerLink.h"
#include "link/LinkMessages.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace comm {

class MaintenanceHost {
  public:
    virtual ~MaintenanceHost() = default;
    // The user must act on the controller (press START for a backup); returns once they have.
    virtual void acknowledge(int message) = 0;
    // A step has begun or ended (recovery's "Power on KZ-7", "bootloader caught", ...).
    virtual void notice(int message) { (void)message; }
    // Text from the controller for a console pane (the servo report, a playing program).
    virtual void consoleText(const uint8_t* bytes, size_t count) { (void)bytes, (void)count; }
};

struct MaintenanceResult {
    bool ok = false;
    int message = kMsgNone; // what to show; kMsgNone when there is nothing (or only detail)
    // Why a file was refused or could not be written, naming the file ("cannot open rom.rom:
    // No such file or directory", "fw.hex: line 3: the record's checksum is wrong ..."); shown
    // before message.
    std::string detail;
    bool disconnected = false; // the job closed the link (the boot loader was not entered)
    bool cancelled = false;    // the user called the job off
    bool refused = false;      // a file was refused before anything was sent
    // New firmware went out but was not read back to check it (the check was not asked for,
    // was skipped, or the controller never sent it): a success all the same.
    bool unchecked = false;
};

// A file read, checked and turned into what the boot loader is sent, before any port is
// opened: the image (the bytes to store and their checksum byte) for its area, and for a servo
// image the console command that hands it on to the bus.
struct PreparedImage {
    firmware::MemoryArea area{};
    std::vector<uint8_t> bytes;
    std::string updateCommand;
    bool empty() const { return bytes.empty(); }
};

struct MaintenanceTiming {
    int servoCommandMs = 200; // after the "update" command, before the report is polled
    int servoPollMs = 50;     // between polls of the report
    int servoIdleLimit = 100; // polls without a byte before the report counts as lost
    int playPollMs = 50;      // between reads of a playing program's output
};

class Maintenance {
  public:
    static constexpr uint32_t kFirmwareAddress = firmware::kFirmwareArea.start;
    static constexpr uint32_t kProgramAddress = firmware::kProgramArea.start;
    static constexpr uint32_t kServoAddress = firmware::kServoArea.start;
    static constexpr uint32_t kMotionAddress = firmware::kMotionArea.start;
    static constexpr uint32_t kMotionLength = firmware::kMotionArea.size;

    // The file checks, without a controller: each reads and checks its file and fills `image`
    // (replaced only on success). A refusal carries the dialog's message (10014 firmware,
    // 10026 servo program, 10021 / 10022 motion data, none when the file cannot be opened),
    // detail naming the file and the reason, and refused set.
    static MaintenanceResult prepareFirmware(const std::string& hexPath, PreparedImage& image);
    static MaintenanceResult prepareServoImage(const std::string& romPath, PreparedImage& image);
    static MaintenanceResult prepareMotionData(const std::string& mtnPath, PreparedImage& image);
    // Whether a backup could be saved at mtnPath (a regular file or nothing there yet, in a
    // folder where a file can be created); refused with 10018 and the reason otherwise.
    static MaintenanceResult checkBackupTarget(const std::string& mtnPath);

    Maintenance(ControllerLink& link, MaintenanceHost& host, MaintenanceTiming timing = {})
        : link_(link), host_(host), timing_(timing)
    {
    }

    // Sends a generated behaviour program image (with its checksum byte) to 0xA000. The link
    // must be connected. Success has no message of its own.
    MaintenanceResult downloadProgram(const std::vector<uint8_t>& image);
    // Starts the stored program (telling the host 12001 once it runs) and hands its output to
    // the host until stop is set (or, with playMs of 0 or more, once it has played that long),
    // then brings the controller back to its menu.
    MaintenanceResult playProgram(const std::atomic<bool>& stop, long playMs = -1);

    // Each job that takes a file comes twice: with a path (the file is prepared first, then
    // sent) and with an image prepared before, so that a caller can refuse a bad file before it
    // connects. An image prepared for another area is refused without sending anything.

    // Sends Intel hex firmware to a connected controller. With verify, the written range is
    // read back (the user presses START for it) and compared: only a difference is a failure
    // (10033); a read-back that is skipped or never comes ends "updated, not checked" (10034,
    // unchecked set), as does a job without verify.
    MaintenanceResult updateFirmware(const std::string& hexPath, bool verify = true);
    MaintenanceResult updateFirmware(const PreparedImage& firmware, bool verify = true);
    // For a controller whose firmware no longer runs: opens the port (without talking to the
    // controller), waits up to waitSeconds for it to be switched on, catches its boot loader
    // and sends the firmware. The caller may arm the link's boot-loader wait before starting
    // this on a worker thread, so that a cancel issued at once is kept.
    MaintenanceResult recoverFirmware(const std::string& portName, const std::string& hexPath,
                                      int waitSeconds, bool verify = true);
    MaintenanceResult recoverFirmware(const std::string& portName, const PreparedImage& firmware,
                                      int waitSeconds, bool verify = true);
    // The two steps of a recovery on a port that is already open, for a caller that goes
    // through them one at a time (the recovery wizard). catchBootLoader ends with 12024, 12025
    // or cancelled; installFirmware with 12028, 10035 (installed, not checked) or 10031 (10033
    // when the check found a difference).
    MaintenanceResult catchBootLoader(int waitSeconds);
    MaintenanceResult installFirmware(const PreparedImage& firmware, bool verify = true);
    // Sends a .rom servo image to 0xC000 and has the controller pass it on to the bus.
    MaintenanceResult updateServos(const std::string& romPath);
    MaintenanceResult updateServos(const PreparedImage& servoImage);
    // Reads the controller's motion memory into a .mtn file (written only when complete). The
    // target is checked first, so the user is never asked to press START for a backup that
    // cannot be saved. A wait for START that times out is cancelled on the controller.
    // The upload carries no checksum, so with verify the memory is read a second time (START
    // again, 10036) and the file is written only when both reads agree; reads that differ
    // give 10018 and no file.
    MaintenanceResult backupMotion(const std::string& mtnPath, bool verify = true);
    // Writes a .mtn file into the controller's motion memory.
    MaintenanceResult restoreMotion(const std::string& mtnPath);
    MaintenanceResult restoreMotion(const PreparedImage& motionData);

    // Calls off the read-back check of the firmware job that runs, from any thread and at any
    // moment of it (the wait for START included): the job ends "updated, not checked". The
    // next firmware job checks again.
    void skipReadBack() { skipReadBack_.store(true); }

  private:
    MaintenanceResult enterBootLoaderOrDisconnect();
    // One upload of the motion memory; the user is asked (askForStart) to press START for it.
    bool readMotionMemory(int askForStart, std::vector<uint8_t>& bytes);
    enum class ReadBack { Same, Differs, NotChecked };
    // Whether the controller holds the image (the bytes before its checksum byte).
    ReadBack verifyWritten(uint32_t address, const std::vector<uint8_t>& image);
    // The end of a firmware job once the image went out: updated (message), not checked
    // (uncheckedMessage) or, for a difference, 10033.
    MaintenanceResult checkWrittenFirmware(const PreparedImage& firmware, bool verify, int message,
                                           int uncheckedMessage);

    ControllerLink& link_;
    MaintenanceHost& host_;
    MaintenanceTiming timing_;
    std::atomic<bool> skipReadBack_{false};
};

} // namespace comm
