#include "link/Maintenance.h"

#include "firmware/HexImageLoader.h"
#include "firmware/MotionDataFile.h"
#include "firmware/RomContainer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace comm {

namespace {

void sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

MaintenanceResult success(int message)
{
    MaintenanceResult r;
    r.ok = true;
    r.message = message;
    return r;
}

} // namespace

MaintenanceResult Maintenance::failure(int message, std::string detail)
{
    MaintenanceResult r;
    r.message = message;
    r.detail = std::move(detail);
    return r;
}

MaintenanceResult Maintenance::enterBootLoaderOrDisconnect()
{
    if (link_.goTo(ControllerMode::BootLoader))
        return success(kMsgNone);
    // The controller did not let us into its boot loader: nothing can be trusted about the
    // connection any more, so it is given up (the user connects again).
    link_.disconnect();
    MaintenanceResult r = failure(kMsgCannotDownload);
    r.disconnected = true;
    return r;
}

MaintenanceResult Maintenance::downloadProgram(const std::vector<uint8_t>& image)
{
    if (image.empty())
        return failure(kMsgCannotDownload);
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    if (!link_.download(kProgramAddress, image, false))
        return failure(kMsgCannotDownload);
    return success(kMsgNone);
}

MaintenanceResult Maintenance::playProgram(const std::atomic<bool>& stop, long playMs)
{
    auto lost = [this] {
        link_.disconnect();
        MaintenanceResult r = failure(kMsgCannotConnect);
        r.disconnected = true;
        return r;
    };
    if (!link_.goTo(ControllerMode::Running))
        return lost();
    const auto started = std::chrono::steady_clock::now();
    auto played = [&] {
        return playMs >= 0 && std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(playMs);
    };
    uint8_t buffer[512];
    while (!stop.load() && !played()) {
        size_t got = 0;
        if (!link_.read(buffer, sizeof buffer, &got))
            return lost();
        if (got > 0)
            host_.consoleText(buffer, got);
        sleepMs(timing_.playPollMs);
    }
    if (!link_.goTo(ControllerMode::Menu))
        return lost();
    return success(kMsgNone);
}

// A freshly loaded image, or nothing: a file that fails to load never leaves an older or half
// built image behind to be sent by mistake.
bool Maintenance::loadFirmware(const std::string& hexPath, FirmwareImage& image, std::string& why)
{
    firmware::HexImageLoader loader;
    FirmwareImage fresh;
    if (!loader.load(hexPath, fresh.buffer, fresh.start, fresh.length) || fresh.length == 0 ||
        fresh.start + fresh.length > fresh.buffer.size()) {
        why = loader.errorText();
        return false;
    }
    image = std::move(fresh);
    return true;
}

int Maintenance::verifyWritten(uint32_t address, const uint8_t* data, size_t length)
{
    // The controller keeps the image without its checksum byte.
    const size_t stored = length - 1;
    if (stored == 0)
        return 1;
    if (!link_.goTo(ControllerMode::BootLoader) ||
        !link_.requestUpload(address, static_cast<uint32_t>(stored))) {
        link_.goTo(ControllerMode::Menu);
        return -1;
    }
    host_.acknowledge(kMsgPressStartToVerify);
    std::vector<uint8_t> back;
    bool received = link_.receive(back, stored);
    link_.goTo(ControllerMode::Menu);
    if (!received)
        return -1;
    return std::equal(back.begin(), back.end(), data) ? 1 : 0;
}

MaintenanceResult Maintenance::updateFirmware(const std::string& hexPath, bool verify)
{
    FirmwareImage image;
    std::string why;
    if (!loadFirmware(hexPath, image, why))
        return failure(kMsgNotFirmwareFile, why);
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    if (!link_.download(kFirmwareAddress, image.data(), image.length, true))
        return failure(kMsgFirmwareUpdateFailed);
    if (verify) {
        int same = verifyWritten(kFirmwareAddress, image.data(), image.length);
        if (same <= 0)
            return failure(same == 0 ? kMsgFirmwareMismatch : kMsgFirmwareUpdateFailed);
    }
    return success(kMsgFirmwareUpdated);
}

MaintenanceResult Maintenance::recoverFirmware(const std::string& portName, const std::string& hexPath,
                                               int waitSeconds, bool verify)
{
    // The file first: a bad file is refused before the user is asked to switch anything on.
    FirmwareImage image;
    std::string why;
    if (!loadFirmware(hexPath, image, why))
        return failure(kMsgNotFirmwareFile, why);
    if (!link_.openPort(portName))
        return failure(kMsgCannotOpenPort, link_.port().lastErrorText());
    MaintenanceResult caught = catchBootLoader(waitSeconds);
    if (!caught.ok)
        return caught;
    host_.notice(kMsgInstalling);
    return installFirmware(image, verify);
}

MaintenanceResult Maintenance::catchBootLoader(int waitSeconds)
{
    int caught = link_.waitForBootLoader(waitSeconds, [this] { host_.notice(kMsgPowerOn); });
    if (caught < 0) {
        MaintenanceResult r;
        r.cancelled = true;
        return r;
    }
    if (caught == 0)
        return failure(kMsgBootLoaderMissed);
    host_.notice(kMsgBootLoaderCaught);
    return success(kMsgBootLoaderCaught);
}

MaintenanceResult Maintenance::installFirmware(const FirmwareImage& image, bool verify)
{
    if (image.empty() || !link_.download(kFirmwareAddress, image.data(), image.length, true))
        return failure(kMsgRecoveryInstallFailed);
    if (verify) {
        int same = verifyWritten(kFirmwareAddress, image.data(), image.length);
        if (same <= 0)
            return failure(same == 0 ? kMsgFirmwareMismatch : kMsgRecoveryInstallFailed);
    }
    return success(kMsgInstalled);
}

MaintenanceResult Maintenance::updateServos(const std::string& romPath)
{
    firmware::RomContents rom;
    firmware::RomError romError = firmware::RomError::None;
    if (!firmware::unpackRom(romPath, rom, &romError))
        return failure(kMsgNotServoProgram, firmware::romErrorText(romError));
    const std::string command(firmware::romUpdateCommand(rom.targetKind));
    if (command.empty())
        return failure(kMsgNotServoProgram);
    firmware::HexImageLoader loader;
    FirmwareImage image;
    if (!loader.loadText(rom.hexText, image.buffer, image.start, image.length) || image.length == 0)
        return failure(kMsgNotServoProgram, loader.errorText());

    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    // A servo image that did not arrive whole must never be handed on to the bus.
    if (!link_.download(kServoAddress, image.data(), image.length, true))
        return failure(kMsgServoUpdateFailed);
    if (!link_.goTo(ControllerMode::Console))
        return failure(kMsgServoUpdateFailed);
    link_.purgeInput();
    if (!link_.write(command))
        return failure(kMsgServoUpdateFailed);
    sleepMs(timing_.servoCommandMs);

    // The controller reports as it goes and ends its report with '<'.
    uint8_t buffer[256];
    int idle = 0;
    for (;;) {
        size_t got = 0;
        if (!link_.read(buffer, sizeof buffer, &got))
            return failure(kMsgServoUpdateFailed);
        if (got > 0) {
            const uint8_t* end = buffer + got;
            const uint8_t* mark =
                std::find(static_cast<const uint8_t*>(buffer), end, static_cast<uint8_t>('<'));
            if (mark != buffer)
                host_.consoleText(buffer, static_cast<size_t>(mark - buffer));
            idle = 0;
            if (mark != end)
                break;
        } else if (++idle > timing_.servoIdleLimit) {
            return failure(kMsgServoUpdateFailed);
        }
        sleepMs(timing_.servoPollMs);
    }
    link_.goTo(ControllerMode::Menu);
    return success(kMsgServoUpdated);
}

MaintenanceResult Maintenance::backupMotion(const std::string& mtnPath)
{
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    if (!link_.requestUpload(kMotionAddress, kMotionLength))
        return failure(kMsgMotionReadFailed);
    host_.acknowledge(kMsgPressStart);
    std::vector<uint8_t> received;
    if (!link_.receive(received, kMotionLength))
        return failure(kMsgMotionReadFailed);
    // Written beside the target and renamed over it, so a failed write leaves no half file
    // and an older backup intact.
    firmware::MotionDataFile file;
    if (!file.write(mtnPath, received))
        return failure(kMsgMotionReadFailed, file.errorText());
    // The controller stays in its boot loader; the user leaves it with its MODE button.
    return success(kMsgMotionReadDone);
}

MaintenanceResult Maintenance::restoreMotion(const std::string& mtnPath)
{
    firmware::MotionDataFile file;
    std::vector<uint8_t> image;
    if (!file.readImage(mtnPath, image)) {
        switch (file.error()) {
        case firmware::MotionFileError::WrongSize:
            return failure(kMsgNotMotionData);
        case firmware::MotionFileError::ShortRead:
            return failure(kMsgMotionFileReadFailed);
        default:
            return failure(kMsgNone, file.errorText());
        }
    }
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    if (!link_.download(kMotionAddress, image, false))
        return failure(kMsgMotionWriteFailed);
    return success(kMsgMotionWriteDone);
}

} // namespace comm
