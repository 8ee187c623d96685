// The shell's pieces that need no GL: the settings, the profile check at start-up and the
// "Select COM port" dialog with the ports that open.

#include "posewright/JointListWidget.h"
#include "posewright/PosewrightSettings.h"
#include "posewright/ShellDialogs.h"
#include "posewright/ValueControl.h"
#include "posewright_core/EditorCore.h"
#include "support/PtyPeer.h"
#include "support/TempFolder.h"

#include "platform/PortMap.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>

using namespace posewright;

namespace {

QApplication& app()
{
    return testsupport::testApp();
}

struct Answers : Prompter {
    QString file;
    QStringList informs, dialogs;
    void inform(const QString&, const QString& text) override { informs << text; }
    void tell(const QString& text) override { informs << text; }
    bool askYesNo(const QString&) override { return false; }
    SaveChoice askSaveChanges(const QString&) override { return SaveChoice::Cancel; }
    std::optional<int> choosePort(int) override { return std::nullopt; }
    QString openRobotFile(const QString& folder, const QString& name) override
    {
        dialogs << folder + "|" + name;
        return file;
    }
};

} // namespace

TEST(PosewrightSettings, DefaultsGroupAndRoundTrip)
{
    app();
    testsupport::TempFolder folder("posewright-settings");
    QSettings store(QString::fromStdString(folder.file("s.conf")), QSettings::IniFormat);
    PosewrightSettings s;
    s.load(store);
    EXPECT_EQ(s.comPort, 1);
    EXPECT_EQ(s.robotProfile, "default.rbt");
    EXPECT_EQ(s.windowX, 0);
    EXPECT_EQ(s.windowY, 0);

    store.setValue("Posewright(Tessaban)/Settings/Com Port", "not a number");
    store.setValue("Posewright(Tessaban)/Settings/Window pos_x", -50);
    store.setValue("Taskloom(Tessaban)/Settings/Com Port", 9); // the other program's own value
    s.load(store);
    EXPECT_EQ(s.comPort, 1);
    EXPECT_EQ(s.windowX, -50);

    s.comPort = 4;
    s.robotProfile = "arm.rbt";
    s.windowY = 300;
    s.save(store);
    PosewrightSettings back;
    back.load(store);
    EXPECT_EQ(back.comPort, 4);
    EXPECT_EQ(back.robotProfile, "arm.rbt");
    EXPECT_EQ(back.windowX, -50);
    EXPECT_EQ(back.windowY, 300);
    EXPECT_EQ(store.value("Taskloom(Tessaban)/Settings/Com Port").toInt(), 9);
}

TEST(PosewrightShell, TheProfileCheckOffersTheOpenDialog)
{
    app();
    testsupport::TempFolder folder("posewright-robots");
    folder.write("default.rbt", "x\n");
    folder.write("arm.rbt", "x\n");
    const QString robots = QString::fromStdString(folder.path().string());
    struct Case {
        const char* name;
        const char* saved;
        const char* chosen;
        bool goOn;
        const char* after;
        int boxes;
    };
    const Case cases[] = {
        {"present: nothing asked", "default.rbt", "", true, "default.rbt", 0},
        {"missing, another chosen", "gone.rbt", "arm.rbt", true, "arm.rbt", 1},
        {"missing, cancelled: the program ends", "gone.rbt", "", false, "gone.rbt", 1},
        {"a folder is no profile", "", "arm.rbt", true, "arm.rbt", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PosewrightSettings s;
        s.robotProfile = c.saved;
        Answers a;
        a.file = c.chosen;
        EXPECT_EQ(ensureRobotProfile(s, robots, a), c.goOn);
        EXPECT_EQ(s.robotProfile, c.after);
        EXPECT_EQ(a.informs.size(), c.boxes);
        EXPECT_EQ(a.dialogs.size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(a.informs[0], "Can not find robot file!");
            EXPECT_EQ(a.dialogs[0], robots + "|" + c.saved);
        }
    }
}

TEST(PosewrightShell, ThePortDialogListsPortsThatOpenAndPreselectsTheSavedOne)
{
    app();
    testsupport::PortFolder ports("posewright-ports");
    testsupport::PtyPeer a, b;
    ASSERT_TRUE(platform::linkPort(7, a.slavePath()));
    ASSERT_TRUE(platform::linkPort(3, b.slavePath()));
    ASSERT_TRUE(platform::linkPort(5, "/nonexistent/device"));
    std::vector<int> open = portsThatOpen();
    EXPECT_NE(std::find(open.begin(), open.end(), 3), open.end());
    EXPECT_NE(std::find(open.begin(), open.end(), 7), open.end());
    EXPECT_EQ(std::find(open.begin(), open.end(), 5), open.end())
        << "a port that does not open is not offered";
    EXPECT_TRUE(std::is_sorted(open.begin(), open.end()));

    struct Case {
        std::vector<int> ports;
        int saved;
        QString selected;
    };
    const Case cases[] = {{{3, 7}, 7, "COM7"}, {{3, 7}, 9, "COM3"}, {{}, 1, ""}};
    for (const Case& c : cases) {
        ComPortDialog dialog(c.ports, c.saved);
        EXPECT_EQ(dialog.windowTitle(), "Select COM port");
        EXPECT_EQ(dialog.list()->currentText(), c.selected);
        QPushButton* connectButton = nullptr;
        for (QPushButton* p : dialog.findChildren<QPushButton*>())
            if (p->text() == "Connect")
                connectButton = p;
        ASSERT_NE(connectButton, nullptr);
        EXPECT_TRUE(connectButton->isDefault());
        QTimer::singleShot(0, connectButton, &QPushButton::click);
        // With no entry the dialog stays open: close it from outside after a while.
        QTimer::singleShot(300, &dialog, &QDialog::reject);
        const int result = dialog.exec();
        EXPECT_EQ(result, c.ports.empty() ? QDialog::Rejected : QDialog::Accepted);
        EXPECT_EQ(dialog.chosenPort(), c.ports.empty() ? 0 : c.selected.mid(3).toInt());
    }
}

TEST(PosewrightShell, TheSplashShowsItsPictureAndTheTextInCyan)
{
    app();
    SplashWindow splash;
    EXPECT_EQ(splash.size(), QSize(640, 480));
    EXPECT_EQ(splash.windowTitle(), "Vistapane initizlizing ...");
    const QImage shot = splash.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (const char* out = std::getenv("POSEWRIGHT_SPLASH_SHOT"))
        shot.save(out);
    // The text's pixels: cyan, or cyan blended into the dark picture at its edges.
    int cyanInBand = 0;
    for (int y = 480 - 94; y < 480 - 26; ++y)
        for (int x = 16; x < 640 - 16; ++x) {
            const QRgb p = shot.pixel(x, y);
            if (qRed(p) < 60 && qGreen(p) > 200 && qBlue(p) > 200)
                ++cyanInBand;
        }
    EXPECT_GT(cyanInBand, 30) << "\"Initializing ...\" in its band";
    // The picture is our own, not the flat fallback.
    EXPECT_NE(shot.pixel(100, 100), shot.pixel(500, 300));
}

// A robot with more joints than rows fit: the rows scroll under the header and every joint can
// be picked, its editor following its row.
TEST(JointListWidget, JointsBeyondTheVisibleRowsAreReachedByScrolling)
{
    app();
    JointList list;
    std::vector<std::pair<int, std::string>> joints;
    for (int id = 1; id <= 26; ++id)
        joints.emplace_back(id, "Joint " + std::to_string(id));
    list.setProfile(joints);
    list.setLive(true);
    list.setEnabled(true);
    for (int id = 1; id <= 26; ++id)
        list.setJoint(id, true, true, 500 + id);
    JointListWidget widget(list, kJointListId);
    widget.resize(290, 400);
    widget.show();
    widget.sync();
    QScrollBar* scroll = widget.scrollBar();
    ASSERT_TRUE(scroll->isVisible());
    EXPECT_EQ(scroll->maximum(), 26 - 19) << "19 rows fit below the header";

    scroll->setValue(scroll->maximum());
    const QPoint last = widget.cellCentre(25);
    ASSERT_LT(last.y(), widget.height());
    QTest::mouseClick(&widget, Qt::LeftButton, {}, last);
    EXPECT_EQ(list.pickedId(), 26);
    ASSERT_TRUE(widget.valueEditor()->isVisible());
    EXPECT_EQ(widget.valueEditor()->geometry().center().y(), last.y());
    EXPECT_EQ(widget.valueEditor()->text(), "0526");
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(last.x(), 10));
    EXPECT_EQ(list.pickedId(), 26) << "the header is not a row";

    scroll->setValue(0);
    EXPECT_FALSE(widget.valueEditor()->isVisible()) << "its row is out of sight";
    list.setProfile({{1, "One"}});
    list.setLive(true);
    widget.sync();
    EXPECT_FALSE(scroll->isVisible()) << "one joint fits";
}
