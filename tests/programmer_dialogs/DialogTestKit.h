#pragma once
// What the dialog tests share: the application object, waiting on the event loop, a prompter
// that records what the user was told and answers for them, and kz7sim linked as a COM port.

#include "programmer/dialogs/DialogContext.h"
#include "support/Kz7SimProcess.h"
#include "support/TempFolder.h"
#include "taskloom_base/Prompter.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace dialogtest {

void ensureApp();
// Processes events until done() holds or timeoutMs have passed; returns done().
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 60000);

class ScriptedPrompter : public programmer::Prompter {
  public:
    QStringList told;                             // every message() text, in order
    QStringList asked;                            // every askYesNo() text
    std::deque<bool> answers;                     // for askYesNo (No when empty)
    std::deque<QString> files;                    // for openFile and saveFile (cancelled when empty)
    QStringList fileStarts;                       // the start paths the file dialogs were given
    std::function<void(const QString&)> onInform; // runs while the box would be open

    void message(const QString& text) override;
    bool confirm(const QString& text) override { return askYesNo(text); }
    bool askYesNo(const QString& text) override;
    programmer::SaveAnswer askSave(const QString&) override { return programmer::SaveAnswer::Cancel; }
    QString openFile(const QString& filter, const QString& start) override;
    QString saveFile(const QString& filter, const QString& start, const QString& suffix) override;
};

// The message text of a string number, for comparing with what the prompter was told.
QString text(int number);

// kz7sim on a pty, linked as COM<com> in a private port folder, with its memory in a file.
class SimRig {
  public:
    explicit SimRig(const std::vector<std::string>& options = {}, int com = 5);
    bool ok() const { return started_; }
    const std::string& device() const { return sim_.devicePath(); }
    void control(const std::string& line) { sim_.control(line); }
    std::string path(const std::string& name) const { return folder_.file(name); }
    // The simulator's memory as written to its file (it is saved within half a second of a change).
    std::vector<uint8_t> memory() const;
    // Waits until memory[from, from + bytes.size()) holds bytes.
    bool memoryHolds(uint32_t from, const std::vector<uint8_t>& bytes, int timeoutMs = 10000) const;
    // Opens the device anew and asks the controller which mode it is in (after the dialog let go).
    int probeMode() const;
    // Whether a fresh link can still bring the controller to its menu (after a fault).
    bool answersAgain() const;

    int comPort;
    QString firmwarePath;
    QString motionDocPath;
    bool checkFirmware = true;
    ScriptedPrompter prompter;
    programmer::DialogContext context();

  private:
    testsupport::PortFolder folder_{"dialogtest"};
    testsupport::Kz7SimProcess sim_;
    int com_;
    bool started_ = false;
};

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool fileExists(const std::string& path);
// Intel hex text of bytes from address 0 (16-byte records, an end record).
void writeHex(const std::string& path, const std::vector<uint8_t>& bytes);
// count bytes of a pattern that differs with seed.
std::vector<uint8_t> pattern(size_t count, int seed);

} // namespace dialogtest
