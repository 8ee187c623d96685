#pragma once
// The controller's maintenance jobs as plain sequences over a ControllerLink: program download
// and play, firmware update and recovery, servo update, motion backup and restore. Each job
// ends with the message the user must see (a string number of LinkMessages.h, sometimes with
// the system's reason for a file error) and leaves the controller where the job says. A job
// runs on one thread; whoever shows its progress reads link.progress() from another.
//
// The jobs never show anything themselves: what the user must do or see on the way goes
// through a MaintenanceHost (a dialog, the command line, a test).

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
    int message = kMsgNone;    // what to show; kMsgNone when there is nothing (or only detail)
    std::string detail;        // the system's reason for a file error, shown before message
    bool disconnected = false; // the job closed the link (the boot loader was not entered)
    bool cancelled = false;    // the user called the job off
};

struct MaintenanceTiming {
    int servoCommandMs = 200; // after the "update" command, before the report is polled
    int servoPollMs = 50;     // between polls of the report
    int servoIdleLimit = 100; // polls without a byte before the report counts as lost
    int playPollMs = 50;      // between reads of a playing program's output
};

// A firmware image loaded from an Intel hex file, ready to send (its last byte is the checksum).
struct FirmwareImage {
    std::vector<uint8_t> buffer;
    size_t start = 0;
    size_t length = 0;
    const uint8_t* data() const { return buffer.data() + start; }
    bool empty() const { return length == 0; }
};

class Maintenance {
  public:
    static constexpr uint32_t kFirmwareAddress = 0x0000;
    static constexpr uint32_t kProgramAddress = 0xA000;
    static constexpr uint32_t kServoAddress = 0xC000;
    static constexpr uint32_t kMotionAddress = 0xE000;
    static constexpr uint32_t kMotionLength = 0x10000;

    Maintenance(ControllerLink& link, MaintenanceHost& host, MaintenanceTiming timing = {})
        : link_(link), host_(host), timing_(timing)
    {
    }

    // Sends a generated behaviour program image (with its checksum byte) to 0xA000. The link
    // must be connected. Success has no message of its own.
    MaintenanceResult downloadProgram(const std::vector<uint8_t>& image);
    // Starts the stored program and hands its output to the host until stop is set (or, with
    // playMs of 0 or more, once it has played that long), then brings the controller back to
    // its menu.
    MaintenanceResult playProgram(const std::atomic<bool>& stop, long playMs = -1);

    // Loads an Intel hex firmware file into a fresh image; a refused file leaves image as it was
    // and gives why (the system's reason when the file could not be read).
    static bool loadFirmware(const std::string& hexPath, FirmwareImage& image, std::string& why);

    // Loads an Intel hex firmware file and sends it to a connected controller. With verify, the
    // written range is read back (the user presses START for it) and compared before success.
    MaintenanceResult updateFirmware(const std::string& hexPath, bool verify = true);
    // For a controller whose firmware no longer runs: loads the file, opens the port (without
    // talking to the controller), waits up to waitSeconds for it to be switched on, catches its
    // boot loader and sends the firmware. The caller may arm the link's boot-loader wait before
    // starting this on a worker thread, so that a cancel issued at once is kept.
    MaintenanceResult recoverFirmware(const std::string& portName, const std::string& hexPath,
                                      int waitSeconds, bool verify = true);
    // The two steps of a recovery on a port that is already open, for a caller that goes
    // through them one at a time (the recovery wizard). catchBootLoader ends with 12024, 12025
    // or cancelled; installFirmware with 12028 or 10031 (10033 when the check found a
    // difference).
    MaintenanceResult catchBootLoader(int waitSeconds);
    MaintenanceResult installFirmware(const FirmwareImage& image, bool verify = true);
    // Sends a .rom servo image to 0xC000 and has the controller pass it on to the bus.
    MaintenanceResult updateServos(const std::string& romPath);
    // Reads the controller's motion memory into a .mtn file (written only when complete).
    MaintenanceResult backupMotion(const std::string& mtnPath);
    // Writes a .mtn file into the controller's motion memory.
    MaintenanceResult restoreMotion(const std::string& mtnPath);

  private:
    // 1 the controller holds the image, 0 it holds something else, -1 it could not be read back.
    int verifyWritten(uint32_t address, const uint8_t* data, size_t length);
    MaintenanceResult failure(int message, std::string detail = {});
    MaintenanceResult enterBootLoaderOrDisconnect();

    ControllerLink& link_;
    MaintenanceHost& host_;
    MaintenanceTiming timing_;
};

} // namespace comm
