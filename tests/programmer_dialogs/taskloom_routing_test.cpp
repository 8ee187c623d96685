// Taskloom's main window opens the controller dialogs: Download/Play for the active program (or
// with no program, nothing to download), and Robot Motion preset by a ".mtn" file it was given.

#include "DialogTestKit.h"

#include "motion/DeviceTable.h"
#include "programmer/CMainFrame.h"
#include "programmer/LineClipboard.h"
#include "programmer/dialogs/DownloadDialog.h"
#include "programmer/dialogs/MotionDataDialog.h"
#include "taskloom_base/TaskloomSettings.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>

using dialogtest::SimRig;
using dialogtest::waitUntil;
using programmer::CMainFrame;
using programmer::DownloadDialog;
using programmer::MotionDataDialog;

namespace {

std::string source(const std::string& relative)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/" + relative;
}

struct Taskloom {
    explicit Taskloom(SimRig& rig) : rig(rig)
    {
        dialogtest::ensureApp();
        settings.comPort = 5;
        settings.window = {900, 700, 0, 0};
        devices.load(source("data/Robot files/default.rbt"));
        frame = std::make_unique<CMainFrame>(settings, devices, rig.prompter, clipboard,
                                             QString::fromStdString(source("data/Robot files/")));
        frame->show();
    }
    // The one dialog of type T the main window has open, once it is connected.
    template <class T> T* openDialog()
    {
        T* found = nullptr;
        waitUntil([&] {
            auto all = frame->findChildren<T*>();
            found = all.size() == 1 && all[0]->isVisible() ? all[0] : nullptr;
            return found && found->link().isConnected() && !found->busy();
        });
        return found;
    }
    bool allClosed()
    {
        return waitUntil([&] { return frame->findChildren<QDialog*>().isEmpty(); });
    }
    SimRig& rig;
    programmer::TaskloomSettings settings;
    motion::DeviceTable devices;
    programmer::SystemClipboard clipboard;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace

TEST(TaskloomRouting, DownloadPlayIsForTheActiveProgramOnly)
{
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    Taskloom t(rig);
    t.frame->action("downloadPlay")->trigger();
    DownloadDialog* none = t.openDialog<DownloadDialog>();
    ASSERT_NE(none, nullptr) << rig.prompter.told.join("|").toStdString();
    EXPECT_EQ(none->fileNameLabel()->text(), "No selected program");
    EXPECT_FALSE(none->downloadButton()->isEnabled());
    none->reject();
    ASSERT_TRUE(t.allClosed());

    const std::string copy = rig.path("worked_example.tpg");
    std::filesystem::copy_file(source("data/examples/worked_example.tpg"), copy);
    ASSERT_TRUE(t.frame->openFile(QString::fromStdString(copy)));
    t.frame->action("downloadPlay")->trigger();
    DownloadDialog* active = t.openDialog<DownloadDialog>();
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(active->fileNameLabel()->text(), "worked_example.tpg");
    EXPECT_TRUE(active->downloadButton()->isEnabled());
    EXPECT_TRUE(active->isModal());
    active->reject();
    ASSERT_TRUE(t.allClosed());
    EXPECT_TRUE(rig.prompter.told.isEmpty()) << rig.prompter.told.join("|").toStdString();
}

TEST(TaskloomRouting, AMotionFileOpensRobotMotionPresetForOneUse)
{
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    Taskloom t(rig);
    dialogtest::writeFile(rig.path("WALK.MTN"), dialogtest::pattern(0x10000, 4));
    EXPECT_TRUE(t.frame->openFile(QString::fromStdString(rig.path("WALK.MTN"))));
    MotionDataDialog* dialog = t.openDialog<MotionDataDialog>();
    ASSERT_NE(dialog, nullptr) << rig.prompter.told.join("|").toStdString();
    EXPECT_EQ(dialog->presetPath(), QString::fromStdString(rig.path("WALK.MTN")));
    EXPECT_EQ(dialog->fileNameLabel()->text(), "WALK.MTN");
    EXPECT_FALSE(dialog->readButton()->isEnabled());
    EXPECT_TRUE(dialog->writeButton()->isEnabled());
    dialog->reject();
    ASSERT_TRUE(t.allClosed());
    EXPECT_FALSE(t.frame->motionPresetFlag()) << "the preset goes with the dialog";

    t.frame->action("robotMotion")->trigger();
    MotionDataDialog* plain = t.openDialog<MotionDataDialog>();
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->presetPath().isEmpty());
    EXPECT_TRUE(plain->readButton()->isEnabled());
    plain->reject();
    ASSERT_TRUE(t.allClosed());
}
