#include "termsession/TerminalSession.h"

#include "termcore/ByteEscapes.h"
#include "termcore/TerminalTexts.h"

#include <chrono>
#include <ctime>
#include <filesystem>

namespace terminal {

namespace texts = termcore::texts;
using termcore::FileKind;
using termcore::KeyCommand;
using termcore::KeyState;
using termcore::TransmitJob;

namespace {
constexpr int kDrainRounds = 64; // blocks per drain before the window gets its turn again
const char* kTransmitFilters = "Intel hex file (*.hex);;All file (*)";
const char* kReceiveFilters = "All file (*)";

int64_t msOfDay()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * int64_t(1000) + ms;
}
} // namespace

int64_t TerminalSession::steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TerminalSession::TerminalSession(Prompter& prompter, Host& host) : prompter_(prompter), host_(host) {}

TerminalSession::~TerminalSession()
{
    disconnect();
    log_.close();
    job_.cancel();
    job_.finish();
    port_.close();
}

void TerminalSession::load(const std::string& configPath)
{
    config_.load(configPath);
    bytesum_ = config_.bytesum();
    settingsPath_ = termcore::SessionSettings::pathBeside(config_.path());
    settings_.load(settingsPath_);
    formatter_.setTimestamps(settings_.timestamps);
    formatter_.setHex(settings_.hexView);
    logSent_ = settings_.logSent;
    log_.setTimestamps(settings_.logTimestamps);
}

void TerminalSession::save()
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(config_.path()).parent_path(), error);
    settings_.timestamps = formatter_.timestamps();
    settings_.hexView = formatter_.hex();
    settings_.logSent = logSent_;
    config_.save();
    settings_.save(settingsPath_);
}

TerminalPort::DataReady TerminalSession::watcherCallback()
{
    // On the watcher thread: only post; the reading happens on the owner's thread.
    return [this] { host_.post([this] { drain(); }); };
}

bool TerminalSession::openPort(const std::string& name, int baudRate)
{
    // Opening anything ends the wait for a device that went away.
    returning_.disarm();
    const termcore::PortResolution resolution = TerminalPort::resolve(name);
    const bool ok = port_.open(name, baudRate, watcherCallback());
    if (ok)
        openedAs_ = resolution;
    host_.changed();
    if (!ok)
        prompter_.error(texts::cannotOpenPort(name, baudRate), port_.lastErrorText());
    return ok;
}

bool TerminalSession::connect(const std::string& name, int baudRate)
{
    if (!openPort(name, baudRate))
        return false;
    config_.setPortName(name);
    config_.setBaudRate(baudRate);
    return true;
}

bool TerminalSession::reconnect()
{
    return openPort(config_.portName(), config_.baudRate());
}

void TerminalSession::disconnect()
{
    if (returning_.armed() && !port_.isOpen()) {
        returning_.disarm();
        host_.changed();
        return;
    }
    if (!port_.isOpen())
        return;
    pacer_.cancel();
    stopReceive();
    cancelTransmit();
    port_.close();
    host_.changed();
}

void TerminalSession::deviceLost(bool afterWrite)
{
    // A device that is not back is waited for: the same device, or a device newly linked under
    // the same COM name, is reopened as soon as it is there.
    const std::string name = port_.portName();
    const int rate = port_.baudRate();
    termcore::PortResolution lost = openedAs_;
    lost.device = port_.device();
    disconnect();
    // A device that is no longer there has gone away: say so in the status, no message. One
    // that is there but failed a keyboard write gets one reconnect with the saved port.
    const bool gone = !TerminalPort::resolve(lost.device).exists;
    if (afterWrite && !gone && reconnect())
        return;
    if (!name.empty())
        returning_.arm(name, rate, lost);
    host_.changed();
}

void TerminalSession::tryReturn()
{
    if (!returning_.armed() || port_.isOpen())
        return;
    const termcore::PortResolution now = TerminalPort::resolve(returning_.portName());
    const auto device = returning_.deviceToOpen(now);
    if (!device)
        return;
    if (!port_.open(returning_.portName(), returning_.baudRate(), watcherCallback(), *device))
        return; // not ready yet (or held by someone else): the next look tries again
    openedAs_ = now;
    returning_.disarm();
    host_.changed();
}

void TerminalSession::tick()
{
    drain();
    tryReturn();
    // A log that closed on its own (the file stopped taking data) is reported once.
    if (log_.isOpen() && !log_.poll(steadyMs())) {
        stopLog();
        prompter_.error(texts::kLogWriteFailed, log_.errorText());
    }
}

void TerminalSession::toggleBytesum()
{
    config_.setBytesum(!config_.bytesum());
    bytesum_ = config_.bytesum();
}

void TerminalSession::recentCommand(int command)
{
    const int index = config_.recent().commandToIndex(command);
    if (index < 0)
        return;
    if (config_.recent().kind(index) == FileKind::Received)
        receive(index);
    else
        transmit(index);
}

std::string TerminalSession::transferPath(int entry, FileKind kind)
{
    // Entry -1 asks the user; a recent entry names its file.
    if (entry >= 0)
        return config_.recent().path(entry);
    if (kind == FileKind::Transmitted)
        return prompter_.openFile("Find transmitted file", kTransmitFilters);
    return prompter_.saveFile("Set recieved file", kReceiveFilters);
}

void TerminalSession::transmit(int entry)
{
    const std::string path = canTransfer() ? transferPath(entry, FileKind::Transmitted) : std::string();
    if (path.empty())
        return;
    if (!job_.open(path)) {
        prompter_.error(texts::kCannotFindFile);
        if (entry >= 0) {
            config_.recent().remove(entry);
            host_.changed();
        }
        return;
    }
    // Everything the job's end relies on is in place before it starts.
    transmitting_ = true;
    transmitRecentIndex_ = entry;
    wireBytes_ = 0;
    const uint64_t generation = ++transmitGeneration_;
    host_.changed();
    job_.start(
        [this](const uint8_t* data, size_t count) {
            size_t written = 0;
            const bool ok = port_.write(data, count, &written);
            wireBytes_ += written; // a chunk that failed part-way still put bytes on the wire
            if (written > 0 && logSent_)
                log_.write(data, written, steadyMs(), msOfDay()); // a failure is reported by tick()
            return ok;
        },
        &bytesum_, [this, generation] { host_.post([this, generation] { onTransmitEnded(generation); }); });
}

void TerminalSession::onTransmitEnded(uint64_t generation)
{
    if (generation != transmitGeneration_ || !transmitting_)
        return;
    finishTransmit();
}

void TerminalSession::cancelTransmit()
{
    if (!transmitting_)
        return;
    job_.cancel(); // after this no chunk goes out
    // ... and what already went to the driver but is not on the wire yet is thrown away.
    port_.discardOutput();
    ++transmitGeneration_;
    finishTransmit();
}

void TerminalSession::finishTransmit()
{
    // The one place that releases a job: the file, the image and the thread.
    const TransmitJob::Outcome outcome = job_.finish();
    const std::string path = job_.path();
    transmitting_ = false;
    auto& recent = config_.recent();
    switch (outcome) {
    case TransmitJob::Outcome::Succeeded:
    case TransmitJob::Outcome::Cancelled:
        recent.add(path, FileKind::Transmitted);
        break;
    case TransmitJob::Outcome::HexFailed:
        prompter_.error(texts::hexFailed(job_.hexCode()));
        if (transmitRecentIndex_ >= 0)
            recent.remove(transmitRecentIndex_);
        break;
    case TransmitJob::Outcome::ReadFailed:
        prompter_.error(texts::kCannotReadFile);
        if (transmitRecentIndex_ >= 0)
            recent.remove(transmitRecentIndex_);
        break;
    case TransmitJob::Outcome::WriteFailed:
        // The file is fine; the line is not. A device that went away is waited for (the
        // status says so); one that is still there stays open as it is, and the user is told
        // how far the file got: nothing is reopened behind their back.
        if (!TerminalPort::resolve(port_.device()).exists)
            deviceLost(false);
        else
            prompter_.error(texts::transmitFailed(wireBytes_.load(), job_.totalBytes()),
                            port_.lastErrorText());
        break;
    default:
        break;
    }
    transmitRecentIndex_ = -1;
    host_.changed();
}

void TerminalSession::receive(int entry)
{
    const std::string path = canTransfer() ? transferPath(entry, FileKind::Received) : std::string();
    if (path.empty())
        return;
    using Result = termcore::ReceiveCapture::CreateResult;
    Result result = capture_.create(path, false);
    if (result != Result::Created) {
        if (!prompter_.confirmOverwrite(texts::kAreYouSure))
            return;
        result = capture_.create(path, true);
    }
    if (result != Result::Created) {
        if (entry < 0) {
            prompter_.error(texts::kCannotMakeFile);
        } else {
            config_.recent().remove(entry);
            host_.changed();
            prompter_.error(texts::kIncorrectPath);
        }
        return;
    }
    config_.recent().add(path, FileKind::Received);
    receiving_ = true;
    host_.changed();
}

void TerminalSession::stopReceive()
{
    if (!receiving_)
        return;
    receiving_ = false;
    const bool ok = capture_.stop();
    host_.changed();
    if (!ok)
        prompter_.error(texts::kCaptureWriteFailed);
}

void TerminalSession::drain()
{
    if (!port_.isOpen())
        return;
    port_.drained();
    uint8_t block[TerminalPort::kDrainBlock];
    for (int round = 0; round < kDrainRounds; ++round) {
        const long n = port_.read(block, sizeof block);
        if (n < 0) {
            deviceLost(false);
            return;
        }
        if (n == 0)
            return;
        logBytes(block, static_cast<size_t>(n), false);
        if (receiving_) {
            if (!capture_.captureBlock(block, static_cast<size_t>(n))) {
                // The capture file stopped taking data: end the capture and say so.
                receiving_ = false;
                host_.changed();
                prompter_.error(texts::kCaptureWriteFailed);
                continue;
            }
            host_.changed();
        } else {
            showReceived(block, static_cast<size_t>(n));
        }
    }
    // Still more waiting: give the window its turn, then carry on.
    host_.post([this] { drain(); });
}

void TerminalSession::showReceived(const uint8_t* bytes, size_t count)
{
    if (formatter_.passThrough()) {
        host_.display(bytes, count);
        return;
    }
    formatted_.clear();
    formatter_.format(bytes, count, msOfDay(), formatted_);
    host_.display(reinterpret_cast<const uint8_t*>(formatted_.data()), formatted_.size());
}

void TerminalSession::writeKeys(const std::string& bytes)
{
    if (bytes.empty() || !port_.isOpen())
        return;
    if (!port_.write(bytes.data(), bytes.size())) {
        // A keyboard write that fails: one reconnect with the saved port; a device that went
        // away is waited for instead.
        pacer_.cancel();
        deviceLost(true);
        return;
    }
    logBytes(bytes.data(), bytes.size(), true);
}

void TerminalSession::sendText(const std::string& bytes)
{
    if (!transmitting_ && !receiving_)
        writeKeys(bytes);
}

void TerminalSession::sendString(int number)
{
    if (number < 1 || number > termcore::SessionSettings::kSendStrings)
        return;
    sendText(termcore::ByteEscapes::decode(settings_.sendStrings[number - 1].text));
}

KeyState TerminalSession::keyState() const
{
    if (!port_.isOpen())
        return KeyState::Closed;
    if (transmitting_)
        return KeyState::Transmitting;
    if (receiving_)
        return KeyState::Receiving;
    if (pacer_.active())
        return KeyState::Pasting;
    return KeyState::Idle;
}

termcore::KeyAction TerminalSession::key(const termcore::KeyPress& press)
{
    termcore::KeyAction action = termcore::KeyTable::action(press, keyState());
    switch (action.command) {
    case KeyCommand::Send:
        writeKeys(action.bytes);
        break;
    case KeyCommand::StopReceive:
        stopReceive();
        break;
    case KeyCommand::ReceiveRecent: {
        const int index = config_.recent().newestOfKind(FileKind::Received);
        if (index >= 0)
            receive(index);
        break;
    }
    case KeyCommand::TransmitRecent: {
        const int index = config_.recent().newestOfKind(FileKind::Transmitted);
        if (index >= 0)
            transmit(index);
        break;
    }
    case KeyCommand::CancelTransmit:
        cancelTransmit();
        break;
    case KeyCommand::CancelPaste:
        pacer_.cancel();
        break;
    case KeyCommand::SendString:
        sendString(action.number);
        break;
    default:
        break; // the view's commands are the window's
    }
    return action;
}

void TerminalSession::paste(const std::string& latin1)
{
    if (!canTransfer() || pacer_.active())
        return;
    const std::string bytes = termcore::PastePacer::consoleBytes(latin1);
    if (bytes.empty())
        return;
    pacer_.start(bytes, steadyMs());
    pasteTick();
}

void TerminalSession::pasteTick()
{
    if (!pacer_.active())
        return;
    if (!canTransfer()) {
        pacer_.cancel();
        return;
    }
    const std::string chunk = pacer_.next(steadyMs());
    if (!chunk.empty())
        writeKeys(chunk);
}

int64_t TerminalSession::pasteDueMs() const
{
    return pacer_.active() ? pacer_.dueMs() : -1;
}

void TerminalSession::setTimestamps(bool on)
{
    formatter_.setTimestamps(on);
    formatter_.setAtLineStart(host_.atLineStart());
    settings_.timestamps = on;
}

void TerminalSession::setHexView(bool on)
{
    if (on != formatter_.hex() && !host_.atLineStart()) {
        static const uint8_t kNewLine[] = {'\r', '\n'};
        host_.display(kNewLine, 2); // each view starts on a line of its own
    }
    formatter_.setHex(on);
    settings_.hexView = on;
}

void TerminalSession::logBytes(const void* data, size_t count, bool sent)
{
    if (!log_.isOpen() || (sent && !logSent_))
        return;
    if (!log_.write(data, count, steadyMs(), msOfDay())) {
        stopLog();
        prompter_.error(texts::kLogWriteFailed, log_.errorText());
    }
}

bool TerminalSession::startLog(const std::string& path)
{
    const bool ok = log_.open(path);
    if (!ok)
        prompter_.error(texts::kCannotMakeLog, log_.errorText());
    host_.changed();
    return ok;
}

void TerminalSession::stopLog()
{
    log_.close();
    host_.changed();
}

void TerminalSession::setLogSent(bool on)
{
    logSent_ = on;
    settings_.logSent = on;
}

void TerminalSession::setLogTimestamps(bool on)
{
    log_.setTimestamps(on);
    settings_.logTimestamps = on;
}

std::string TerminalSession::fileStatus() const
{
    if (transmitting_)
        return texts::transmitStatus(job_.sentBytes(), job_.totalBytes());
    if (receiving_)
        return texts::receiveStatus(capture_.receivedBytes());
    const auto& recent = config_.recent();
    return texts::idleStatus(recent.label(recent.newestOfKind(FileKind::Any)));
}

std::string TerminalSession::deviceStatus() const
{
    if (port_.isOpen())
        return texts::deviceStatus(port_.device());
    if (returning_.armed())
        return texts::deviceGoneStatus(returning_.portName(), returning_.lostDevice());
    return {};
}

std::string TerminalSession::connectionStatus() const
{
    return texts::connectionStatus(port_.isOpen(), port_.portName(), port_.baudRate());
}

} // namespace terminal
