// Renders each controller dialog, driven against kz7sim into the state worth seeing, as a PNG
// in the folder given (run under xvfb-run for the real platform's look):
//
//     xvfb-run -a env QT_QPA_PLATFORM=xcb build/bin/dialog_screenshots docs

#include "DialogTestKit.h"

#include "behaviour/BehaviorProgram.h"
#include "behaviour/ProgramFile.h"
#include "programmer/dialogs/CKZ7RecoverSheet.h"
#include "programmer/dialogs/DownloadDialog.h"
#include "programmer/dialogs/FirmwareUpdateDialog.h"
#include "programmer/dialogs/MotionDataDialog.h"
#include "programmer/dialogs/ServoUpdateDialog.h"

#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <string>

using dialogtest::SimRig;
using dialogtest::waitUntil;

namespace {

std::string outFolder;
int failures = 0;

void save(QWidget& w, const char* name, const SimRig& rig)
{
    for (const QString& told : rig.prompter.told)
        std::fprintf(stderr, "%s: told \"%s\"\n", name, told.toUtf8().constData());
    QCoreApplication::processEvents();
    const std::string path = outFolder + "/" + name;
    if (!w.grab().save(QString::fromStdString(path))) {
        std::fprintf(stderr, "dialog_screenshots: cannot write %s\n", path.c_str());
        ++failures;
        return;
    }
    std::printf("%s\n", path.c_str());
}

bool connected(programmer::ControllerDialogBase& d)
{
    d.show();
    return waitUntil([&] { return d.link().isConnected() && !d.busy(); });
}

void pause(int ms)
{
    waitUntil([] { return false; }, ms);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog_screenshots FOLDER\n");
        return 2;
    }
    outFolder = argv[1];
    dialogtest::ensureApp();
    const std::string source = TESSABAN_SOURCE_DIR;

    {
        SimRig rig;
        behaviour::BehaviorProgram program;
        behaviour::loadProgramFile(source + "/data/examples/counter_printer.tpg", program);
        programmer::DownloadDialog d(rig.context(), "counter_printer.tpg", &program);
        if (rig.ok() && connected(d)) {
            QTest::mouseClick(d.downloadButton(), Qt::LeftButton);
            waitUntil([&] { return !d.busy(); });
            QTest::mouseClick(d.playButton(), Qt::LeftButton);
            pause(3500);
            save(d, "download-dialog.png", rig);
            QTest::mouseClick(d.playButton(), Qt::LeftButton);
            waitUntil([&] { return !d.busy(); });
        } else {
            ++failures;
        }
    }
    {
        SimRig rig;
        rig.prompter.onInform = [&rig](const QString& m) {
            if (m.contains("\"START\""))
                rig.control("press START");
        };
        rig.prompter.files.push_back(QString::fromStdString(source + "/data/samples/kz7-firmware.hex"));
        programmer::FirmwareUpdateDialog d(rig.context());
        if (rig.ok() && connected(d)) {
            QTest::mouseClick(d.downloadButton(), Qt::LeftButton);
            waitUntil([&] { return !d.busy(); });
            save(d, "firmware-update-dialog.png", rig);
        } else {
            ++failures;
        }
    }
    {
        SimRig rig;
        rig.prompter.files.push_back(QString::fromStdString(source + "/data/samples/vq-servo.rom"));
        programmer::ServoUpdateDialog d(rig.context());
        if (rig.ok() && connected(d)) {
            QTest::mouseClick(d.downloadButton(), Qt::LeftButton);
            waitUntil([&] { return !d.busy(); });
            save(d, "servo-update-dialog.png", rig);
        } else {
            ++failures;
        }
    }
    {
        SimRig rig;
        rig.motionDocPath = QString::fromStdString(rig.path("WALK.mtn"));
        dialogtest::writeFile(rig.path("WALK.mtn"), dialogtest::pattern(0x10000, 1));
        programmer::MotionDataDialog d(rig.context(), QString::fromStdString(rig.path("WALK.mtn")));
        if (rig.ok() && connected(d)) {
            QTest::mouseClick(d.writeButton(), Qt::LeftButton);
            waitUntil([&] { return !d.busy(); });
            save(d, "motion-data-dialog.png", rig);
        } else {
            ++failures;
        }
    }
    {
        SimRig rig({"--power", "off", "--blank-firmware"});
        programmer::CKZ7RecoverSheet sheet(rig.context());
        sheet.show();
        QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
        QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
        if (rig.ok() && waitUntil([&] { return sheet.currentPage() == 3 && sheet.busy(); }, 5000)) {
            pause(500);
            save(sheet, "recover-sheet-page3.png", rig);
        } else {
            ++failures;
        }
        rig.prompter.answers.push_back(true);
        sheet.reject();
        waitUntil([&] { return !sheet.isVisible(); }, 5000);
    }
    return failures == 0 ? 0 : 1;
}
