#include "DialogTestKit.h"

#include "link/ControllerLink.h"
#include "support/TestApp.h"
#include "taskloom_base/ProgrammerTexts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace dialogtest {

void ensureApp()
{
    testsupport::testApp();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void ScriptedPrompter::inform(const QString& text)
{
    told << text;
    if (onInform)
        onInform(text);
}

bool ScriptedPrompter::askYesNo(const QString& text)
{
    asked << text;
    if (answers.empty())
        return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedPrompter::openFile(const QString&, const QString& start)
{
    fileStarts << start;
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedPrompter::saveFile(const QString& filter, const QString& start, const QString&)
{
    return openFile(filter, start);
}

QString text(int number)
{
    return programmer::text(number);
}

SimRig::SimRig(const std::vector<std::string>& options, int com) : comPort(com), com_(com)
{
    std::vector<std::string> all = {"--com", std::to_string(com), "--memory", folder_.file("kz7.mem")};
    all.insert(all.end(), options.begin(), options.end());
    started_ = folder_.ok() && sim_.start(all);
}

programmer::DialogContext SimRig::context()
{
    programmer::DialogContext c{{comPort, firmwarePath, motionDocPath, checkFirmware}, prompter};
    // The simulator runs unpaced: there is no line to keep pace with.
    c.linkTiming.lineBaud = 0;
    return c;
}

std::vector<uint8_t> SimRig::memory() const
{
    return readFile(folder_.file("kz7.mem"));
}

bool SimRig::memoryHolds(uint32_t from, const std::vector<uint8_t>& bytes, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        std::vector<uint8_t> m = memory();
        if (m.size() >= from + bytes.size() && std::equal(bytes.begin(), bytes.end(), m.begin() + from))
            return true;
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
}

int SimRig::probeMode() const
{
    comm::ControllerLink link;
    if (!link.openPort(sim_.devicePath()) || !link.probe())
        return -1;
    int mode = link.mode();
    link.closePort();
    return mode;
}

bool SimRig::answersAgain() const
{
    comm::ControllerLink link;
    bool ok = link.connect(sim_.devicePath());
    link.disconnect();
    return ok;
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

void writeHex(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::string text;
    char line[64];
    for (size_t at = 0; at < bytes.size(); at += 16) {
        size_t n = std::min<size_t>(16, bytes.size() - at);
        unsigned sum = static_cast<unsigned>(n) + ((at >> 8) & 0xFF) + (at & 0xFF);
        std::snprintf(line, sizeof line, ":%02zX%04zX00", n, at);
        text += line;
        for (size_t i = 0; i < n; ++i) {
            std::snprintf(line, sizeof line, "%02X", bytes[at + i]);
            text += line;
            sum += bytes[at + i];
        }
        std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    text += ":00000001FF\n";
    writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> pattern(size_t count, int seed)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>((i * 7 + static_cast<size_t>(seed) * 31 + i / 256) & 0xFF);
    return bytes;
}

} // namespace dialogtest
