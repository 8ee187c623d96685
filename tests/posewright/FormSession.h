#pragma once
// The editor form connected to kz7sim on a pseudo-terminal (linked as COM1 in a private port
// folder), with a prompter that records every box and answers from a script.

#include "posewright/CPosewrightView.h"
#include "posewright/Prompter.h"
#include "robotgl/RobotWindows.h"
#include "sim/ControllerMemory.h"
#include "sim/MotionPage.h"
#include "support/Kz7SimProcess.h"
#include "support/TempFolder.h"

#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>

#include <cstdlib>
#include <deque>

// gtest prints QStrings as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace posewrighttest {

inline const QString kProfile = QStringLiteral(TESSABAN_SOURCE_DIR "/data/Robot files/default.rbt");

struct ScriptedPrompter : posewright::Prompter {
    std::deque<bool> answers;                   // No when they run out
    std::deque<guikit::SaveAnswer> saveChoices; // Discard when they run out
    QStringList saveQuestions;
    QStringList informs, questions;
    std::optional<int> port;
    int offeredPort = 0; // the port the dialog was opened on
    QString robotFile;

    void inform(const QString& caption, const QString& text) override { informs << caption + "|" + text; }
    void inform(const QString& text) override { inform(QString(), text); }
    // Recorded with the boxes, and apart: the boxes that tell of a success.
    void tell(const QString& text) override
    {
        informs << "|" + text;
        tells << text;
    }
    QStringList tells;
    bool askYesNo(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    // OK / Cancel is answered from the same script as Yes / No.
    bool confirm(const QString& text) override { return askYesNo(text); }
    guikit::SaveAnswer askSave(const QString& text) override
    {
        saveQuestions << text;
        if (saveChoices.empty())
            return guikit::SaveAnswer::Discard;
        const auto c = saveChoices.front();
        saveChoices.pop_front();
        return c;
    }
    std::optional<int> choosePort(int saved) override
    {
        offeredPort = saved;
        return port;
    }
    QString openRobotFile(const QString&, const QString&) override { return robotFile; }
    // The editor opens and saves no other files.
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
};

struct FormSession {
    testsupport::PortFolder ports{"posewright-ports"};
    testsupport::TempFolder files{"posewright-files"};
    testsupport::Kz7SimProcess sim;
    ScriptedPrompter prompter;
    std::unique_ptr<QWidget> top;
    posewright::CPosewrightView* view = nullptr;
    robotgltest::Pointer pointer{nullptr};

    // Starts the simulator (with a memory file, prepared by `prepare` when given) and the form.
    explicit FormSession(const std::function<void(sim::ControllerMemory&)>& prepare = {})
    {
        robotgltest::app();
        setenv("XDG_CONFIG_HOME", files.file("config").c_str(), 1);
        if (prepare) {
            sim::ControllerMemory memory;
            prepare(memory);
            EXPECT_TRUE(memory.save(memoryFile()));
        }
        if (!sim.start({"--com", "1", "--memory", memoryFile(), "--profile",
                        TESSABAN_SOURCE_DIR "/data/Robot files/default.rbt"})) {
            ADD_FAILURE() << sim.error();
            return;
        }
        top = std::make_unique<QWidget>();
        view = new posewright::CPosewrightView(kProfile, prompter, top.get());
        top->resize(view->size());
        pointer.top = top.get();
        top->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(top.get()));
        top->activateWindow();
        motion::MotionLink::Timing fast;
        fast.probeWait = 150;
        fast.tabWait = 150;
        fast.burstPause = 10;
        view->setTiming(fast);
        view->start(1);
    }
    ~FormSession()
    {
        top.reset(); // closes the link first
        sim.stop();
    }

    std::string memoryFile() const { return files.file("kz7.mem"); }
    posewright::EditorCore& core() const { return view->core(); }
    motion::MotionLink& link() const { return view->link(); }

    // Until the form is ready for input on the simulator's edit screen.
    bool ready(int ms = 15000)
    {
        return QTest::qWaitFor([&] { return core().inEditScreen() && core().enabled() && idle(); }, ms);
    }
    // No reply outstanding and nothing left to decode.
    bool idle() const { return !link().isWaiting() && link().bufferedBytes() == 0; }
    // Waits for the reply to what was just sent, and a little more for anything after it.
    bool settle(int ms = 10000)
    {
        if (!QTest::qWaitFor([&] { return idle(); }, ms))
            return false;
        QTest::qWait(250);
        return QTest::qWaitFor([&] { return idle(); }, ms);
    }
    bool waitFor(const std::function<bool()>& condition, int ms = 10000)
    {
        return QTest::qWaitFor(condition, ms);
    }

    // The page as the simulator keeps it in its memory file (written shortly after a save).
    sim::MotionPage storedPage(int number) const
    {
        sim::ControllerMemory memory;
        memory.load(memoryFile());
        return sim::MotionPage::decode(memory.page(number));
    }
    bool waitStored(int number, const std::function<bool(const sim::MotionPage&)>& condition)
    {
        return waitFor([&] { return condition(storedPage(number)); }, 5000);
    }

    // Form gestures.
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    void enter(QLineEdit* edit, const QString& text)
    {
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // Grids open their editor on a double-click at the cell's centre (after a click).
    void doubleClickCell(QTableWidget* grid, int row, int column)
    {
        const QPoint at = grid->visualItemRect(grid->item(row, column)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
    // Drags the current pose from the main view to x in panel k.
    void dropCurrentPose(int k, int x)
    {
        robotgl::Main3DView* main = view->mainView();
        const QPoint from = main->rect().center();
        robotgl::PosePanel* panel = view->panel(k);
        const QPoint to(x, panel->height() / 2);
        pointer.move(main, from);
        pointer.press(main, from);
        pointer.glide(main, from, panel, to);
        pointer.release(panel, to);
    }
    void dragPanel(int from, int to)
    {
        robotgl::PosePanel* a = view->panel(from);
        robotgl::PosePanel* b = view->panel(to);
        const QPoint start = a->rect().center(), end = b->rect().center();
        pointer.move(a, start);
        pointer.press(a, start);
        pointer.glide(a, start, b, end);
        pointer.release(b, end);
    }
    void contextMenu(int k, int item)
    {
        robotgl::PosePanel* p = view->panel(k);
        const QPoint at = p->rect().center();
        pointer.click(p, at);
        pointer.click(p, at, Qt::RightButton);
        QMenu* menu = p->contextMenu();
        if (!QTest::qWaitFor([&] { return menu->isVisible(); }, 5000)) {
            ADD_FAILURE() << "no context menu";
            return;
        }
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {},
                          menu->actionGeometry(menu->actions()[item]).center());
    }
    int mainTarget(int id) const { return view->mainView()->model().targetValue(id - 1); }
    int panelTarget(int k, int id) const { return view->panel(k)->model().targetValue(id - 1); }
};

// A page of `count` poses whose joint 1 holds 100, 200, ... and joint 2 holds 900, 800, ...
// Pauses of -1 are the pose's number; a long pause lets the line fall quiet between poses of a play.
inline void storePage(sim::ControllerMemory& memory, int number, int count, const std::string& name = "Steps",
                      int pause = -1)
{
    sim::MotionPage page;
    page.name = name;
    page.poseCount = count;
    for (int p = 0; p < count; ++p) {
        for (int id = 0; id < sim::kJointRows; ++id)
            page.poses[p].values[id] = 512;
        page.poses[p].values[1] = static_cast<uint16_t>(100 * (p + 1));
        page.poses[p].values[2] = static_cast<uint16_t>(900 - 100 * p);
        page.poses[p].speed = static_cast<uint8_t>(60 + 10 * p);
        page.poses[p].pause = static_cast<uint8_t>(pause < 0 ? p : pause);
    }
    page.encode(memory.page(number));
}

} // namespace posewrighttest
