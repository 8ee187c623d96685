#include "link/Maintenance.h"

#include "firmware/HexImageLoader.h"
#include "firmware/MotionDataFile.h"
#include "firmware/RomContainer.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace comm {

namespace {

struct ClearOnExit {
    std::atomic<bool>& flag;
    ~ClearOnExit() { flag.store(false); }
};

MaintenanceResult success(int message)
{
    MaintenanceResult r;
    r.ok = true;
    r.message = message;
    return r;
}

MaintenanceResult failure(int message, std::string detail = {})
{
    MaintenanceResult r;
    r.message = message;
    r.detail = std::move(detail);
    return r;
}

// A file refused before anything was sent: the message, and the file with the reason.
MaintenanceResult refusal(int message, const std::string& path, const std::string& reason)
{
    MaintenanceResult r = failure(message, path + ": " + reason);
    r.refused = true;
    return r;
}

MaintenanceResult cannotOpen(int message, const std::string& path, const std::string& reason)
{
    MaintenanceResult r = failure(message, "cannot open " + path + ": " + reason);
    r.refused = true;
    return r;
}

// Whether an image was prepared for this area and still fits it.
bool preparedFor(const PreparedImage& image, const firmware::MemoryArea& area)
{
    return !image.empty() && image.area.start == area.start && image.area.size == area.size &&
           firmware::imageFitsArea(area, image.bytes.size());
}

MaintenanceResult notPrepared(int message, const firmware::MemoryArea& area)
{
    MaintenanceResult r = failure(message, "no " + std::string(area.name) + " image to send");
    r.refused = true;
    return r;
}

// Loads Intel hex text (a file, or the text unpacked from a container) and fits it to its area.
template <class Load>
MaintenanceResult loadHexImage(Load&& load, const firmware::HexImageLoader& loader, int message,
                               const std::string& path, const firmware::MemoryArea& area,
                               PreparedImage& image)
{
    std::vector<uint8_t> buffer;
    size_t start = 0, length = 0;
    if (!load(buffer, start, length)) {
        if (loader.error() == firmware::HexError::CannotOpen)
            return cannotOpen(message, path, loader.errorText());
        if (loader.error() == firmware::HexError::ReadFailed)
            return refusal(message, path, "cannot read the file: " + loader.errorText());
        return refusal(message, path, loader.errorText());
    }
    std::string why;
    if (!firmware::fitHexImageToArea(area, buffer, length, &why))
        return refusal(message, path, why);
    // The image alone, not the loader's whole address space.
    image.area = area;
    image.bytes.assign(buffer.begin() + static_cast<long>(start),
                       buffer.begin() + static_cast<long>(start + length));
    image.updateCommand.clear();
    return success(kMsgNone);
}

} // namespace

MaintenanceResult Maintenance::prepareFirmware(const std::string& hexPath, PreparedImage& image)
{
    firmware::HexImageLoader loader;
    loader.requireEndRecord(true);
    return loadHexImage([&](std::vector<uint8_t>& buffer, size_t& start,
                            size_t& length) { return loader.load(hexPath, buffer, start, length); },
                        loader, kMsgNotFirmwareFile, hexPath, firmware::kFirmwareArea, image);
}

MaintenanceResult Maintenance::prepareServoImage(const std::string& romPath, PreparedImage& image)
{
    firmware::RomContents rom;
    firmware::RomError romError = firmware::RomError::None;
    if (!firmware::unpackRom(romPath, rom, &romError)) {
        const std::string system = std::strerror(errno);
        if (romError == firmware::RomError::CannotOpen)
            return cannotOpen(kMsgNotServoProgram, romPath, system);
        if (romError == firmware::RomError::ReadFailed)
            return refusal(kMsgNotServoProgram, romPath, "cannot read the file: " + system);
        return refusal(kMsgNotServoProgram, romPath, firmware::romErrorText(romError));
    }
    const std::string command(firmware::romUpdateCommand(rom.targetKind));
    if (command.empty())
        return refusal(kMsgNotServoProgram, romPath, "unknown target kind");
    firmware::HexImageLoader loader;
    PreparedImage fresh;
    MaintenanceResult r =
        loadHexImage([&](std::vector<uint8_t>& buffer, size_t& start,
                         size_t& length) { return loader.loadText(rom.hexText, buffer, start, length); },
                     loader, kMsgNotServoProgram, romPath, firmware::kServoArea, fresh);
    if (!r.ok)
        return r;
    fresh.updateCommand = command;
    image = std::move(fresh);
    return r;
}

MaintenanceResult Maintenance::prepareMotionData(const std::string& mtnPath, PreparedImage& image)
{
    firmware::MotionDataFile file;
    std::vector<uint8_t> bytes;
    if (!file.readImage(mtnPath, bytes)) {
        switch (file.error()) {
        case firmware::MotionFileError::WrongSize:
            return refusal(kMsgNotMotionData, mtnPath, "a motion file holds exactly 65536 bytes");
        case firmware::MotionFileError::ShortRead:
            return refusal(kMsgMotionFileReadFailed, mtnPath, "the file could not be read whole");
        default:
            return cannotOpen(kMsgNone, mtnPath, file.errorText());
        }
    }
    image.area = firmware::kMotionArea;
    image.bytes = std::move(bytes);
    image.updateCommand.clear();
    return success(kMsgNone);
}

MaintenanceResult Maintenance::checkBackupTarget(const std::string& mtnPath)
{
    const platform::AtomicWriteResult check = platform::checkAtomicWrite(mtnPath);
    if (check.ok())
        return success(kMsgNone);
    const std::string why = check.failedStep == platform::AtomicWriteResult::Step::Target
                                ? "cannot be replaced: " + check.reason()
                                : "no file can be created there: " + check.reason();
    return refusal(kMsgMotionReadFailed, mtnPath, why);
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
    std::string why;
    if (!firmware::imageFitsArea(firmware::kProgramArea, image.size(), &why)) {
        MaintenanceResult r = failure(kMsgCannotDownload, why);
        r.refused = true;
        return r;
    }
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
    host_.notice(kMsgPlay); // it plays now: from here on it can be stopped
    const int64_t started = link_.clock().nowMs();
    auto played = [&] { return playMs >= 0 && link_.clock().nowMs() - started >= playMs; };
    uint8_t buffer[512];
    while (!stop.load() && !played()) {
        size_t got = 0;
        if (!link_.read(buffer, sizeof buffer, &got))
            return lost();
        if (got > 0)
            host_.consoleText(buffer, got);
        link_.sleepMs(timing_.playPollMs);
    }
    if (!link_.goTo(ControllerMode::Menu))
        return lost();
    return success(kMsgNone);
}

MaintenanceResult Maintenance::updateFirmware(const std::string& hexPath, bool verify)
{
    PreparedImage image;
    if (auto r = prepareFirmware(hexPath, image); !r.ok)
        return r;
    return updateFirmware(image, verify);
}

Maintenance::ReadBack Maintenance::verifyWritten(uint32_t address, const std::vector<uint8_t>& image)
{
    // The controller keeps the image without its checksum byte.
    const size_t stored = image.empty() ? 0 : image.size() - 1;
    if (stored == 0)
        return ReadBack::Same;
    if (skipReadBack_.load())
        return ReadBack::NotChecked;
    if (!link_.goTo(ControllerMode::BootLoader) ||
        !link_.requestUpload(address, static_cast<uint32_t>(stored))) {
        link_.goTo(ControllerMode::Menu);
        return ReadBack::NotChecked;
    }
    host_.acknowledge(kMsgPressStartToVerify);
    std::vector<uint8_t> back;
    // A wait called off (or never answered) ends like a transfer that stopped: ESC, then the menu.
    bool received = link_.receive(back, stored, &skipReadBack_);
    link_.goTo(ControllerMode::Menu);
    if (!received)
        return ReadBack::NotChecked;
    return std::equal(back.begin(), back.end(), image.begin()) ? ReadBack::Same : ReadBack::Differs;
}

MaintenanceResult Maintenance::checkWrittenFirmware(const PreparedImage& firmware, bool verify, int message,
                                                    int uncheckedMessage)
{
    const ReadBack check = verify ? verifyWritten(kFirmwareAddress, firmware.bytes) : ReadBack::NotChecked;
    if (check == ReadBack::Differs)
        return failure(kMsgFirmwareMismatch);
    MaintenanceResult r = success(check == ReadBack::Same ? message : uncheckedMessage);
    r.unchecked = check == ReadBack::NotChecked;
    return r;
}

MaintenanceResult Maintenance::updateFirmware(const PreparedImage& firmware, bool verify)
{
    // Cleared when the job ends rather than when it starts, so that a skip asked for the moment
    // the job was started is not lost.
    ClearOnExit allowNextCheck{skipReadBack_};
    if (!preparedFor(firmware, firmware::kFirmwareArea))
        return notPrepared(kMsgNotFirmwareFile, firmware::kFirmwareArea);
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    if (!link_.download(kFirmwareAddress, firmware.bytes, true))
        return failure(kMsgFirmwareUpdateFailed);
    return checkWrittenFirmware(firmware, verify, kMsgFirmwareUpdated, kMsgFirmwareUpdatedUnchecked);
}

MaintenanceResult Maintenance::recoverFirmware(const std::string& portName, const std::string& hexPath,
                                               int waitSeconds, bool verify)
{
    // The file first: a bad file is refused before the user is asked to switch anything on.
    PreparedImage image;
    if (auto r = prepareFirmware(hexPath, image); !r.ok)
        return r;
    return recoverFirmware(portName, image, waitSeconds, verify);
}

MaintenanceResult Maintenance::recoverFirmware(const std::string& portName, const PreparedImage& firmware,
                                               int waitSeconds, bool verify)
{
    if (!preparedFor(firmware, firmware::kFirmwareArea))
        return notPrepared(kMsgNotFirmwareFile, firmware::kFirmwareArea);
    if (!link_.openPort(portName))
        return failure(kMsgCannotOpenPort, link_.port().lastErrorText());
    MaintenanceResult caught = catchBootLoader(waitSeconds);
    if (!caught.ok)
        return caught;
    host_.notice(kMsgInstalling);
    return installFirmware(firmware, verify);
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

MaintenanceResult Maintenance::installFirmware(const PreparedImage& firmware, bool verify)
{
    // Cleared when the job ends rather than when it starts, so that a skip asked for the moment
    // the job was started is not lost.
    ClearOnExit allowNextCheck{skipReadBack_};
    if (!preparedFor(firmware, firmware::kFirmwareArea))
        return notPrepared(kMsgRecoveryInstallFailed, firmware::kFirmwareArea);
    if (!link_.download(kFirmwareAddress, firmware.bytes, true))
        return failure(kMsgRecoveryInstallFailed);
    return checkWrittenFirmware(firmware, verify, kMsgInstalled, kMsgInstalledUnchecked);
}

MaintenanceResult Maintenance::updateServos(const std::string& romPath)
{
    PreparedImage image;
    if (auto r = prepareServoImage(romPath, image); !r.ok)
        return r;
    return updateServos(image);
}

MaintenanceResult Maintenance::updateServos(const PreparedImage& servoImage)
{
    if (!preparedFor(servoImage, firmware::kServoArea) || servoImage.updateCommand.empty())
        return notPrepared(kMsgNotServoProgram, firmware::kServoArea);
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    // A servo image that did not arrive whole must never be handed on to the bus.
    if (!link_.download(kServoAddress, servoImage.bytes, true))
        return failure(kMsgServoUpdateFailed);
    if (!link_.goTo(ControllerMode::Console))
        return failure(kMsgServoUpdateFailed);
    link_.purgeInput();
    if (!link_.write(servoImage.updateCommand))
        return failure(kMsgServoUpdateFailed);
    link_.sleepMs(timing_.servoCommandMs);

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
        link_.sleepMs(timing_.servoPollMs);
    }
    link_.goTo(ControllerMode::Menu);
    return success(kMsgServoUpdated);
}

bool Maintenance::readMotionMemory(int askForStart, std::vector<uint8_t>& bytes)
{
    if (!link_.requestUpload(kMotionAddress, kMotionLength))
        return false;
    host_.acknowledge(askForStart);
    return link_.receive(bytes, kMotionLength);
}

MaintenanceResult Maintenance::backupMotion(const std::string& mtnPath, bool verify)
{
    // Where the backup goes is checked before the controller is asked for anything.
    if (auto r = checkBackupTarget(mtnPath); !r.ok)
        return r;
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    std::vector<uint8_t> received;
    if (!readMotionMemory(kMsgPressStart, received))
        return failure(kMsgMotionReadFailed);
    if (verify) {
        std::vector<uint8_t> again;
        if (!readMotionMemory(kMsgPressStartAgain, again))
            return failure(kMsgMotionReadFailed);
        if (again != received) {
            const std::string why =
                "the two reads of the motion memory differ (bytes were garbled on the line); ";
            return failure(kMsgMotionReadFailed, why + mtnPath + " was not written");
        }
    }
    // Written beside the target and renamed over it, so a failed write leaves no half file
    // and an older backup intact.
    firmware::MotionDataFile file;
    if (!file.write(mtnPath, received))
        return failure(kMsgMotionReadFailed, "cannot write " + mtnPath + ": " + file.errorText());
    // The controller stays in its boot loader; the user leaves it with its MODE button.
    return success(kMsgMotionReadDone);
}

MaintenanceResult Maintenance::restoreMotion(const std::string& mtnPath)
{
    PreparedImage image;
    if (auto r = prepareMotionData(mtnPath, image); !r.ok)
        return r;
    return restoreMotion(image);
}

MaintenanceResult Maintenance::restoreMotion(const PreparedImage& motionData)
{
    if (!preparedFor(motionData, firmware::kMotionArea))
        return notPrepared(kMsgNotMotionData, firmware::kMotionArea);
    if (auto r = enterBootLoaderOrDisconnect(); !r.ok)
        return r;
    if (!link_.download(kMotionAddress, motionData.bytes, false))
        return failure(kMsgMotionWriteFailed);
    return success(kMsgMotionWriteDone);
}

} // namespace comm
