// taskloom_screens OUTDIR: renders the pictures of docs/ (run under xvfb-run with the xcb
// platform): the main window with two program windows, the worked example maximised with its
// icons, the parameter dialog over a sensor register, the find bar with its list, the error list
// of a broken program, and the button counter exported as a PDF (taskloom-print.pdf, rendered
// with pdftoppm).

#include "ScriptedPrompter.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorFrame.h"
#include "programmer/CEditorView.h"
#include "programmer/CGridCtrl.h"
#include "programmer/CMainFrame.h"
#include "programmer/EditorPopups.h"
#include "programmer/GridModel.h"
#include "programmer/LineClipboard.h"
#include "programmer/SetParameterDialog.h"
#include "taskloom_base/TaskloomSettings.h"

#include "motion/DeviceTable.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

using namespace programmer;

namespace {

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget* w, const QString& path)
{
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: taskloom_screens OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString data = TESSABAN_SOURCE_DIR "/data/";
    ScriptedPrompter prompter;
    SystemClipboard clipboard;
    TaskloomSettings settings;
    settings.window = {1180, 760, 0, 0};
    motion::DeviceTable devices;
    devices.load((data + "Robot files/default.rbt").toStdString());
    CMainFrame frame(settings, devices, prompter, clipboard, data + "Robot files/");
    frame.resize(1180, 760);
    frame.show();
    bool ok = frame.openFile(data + "examples/worked_example.tpg") &&
              frame.openFile(data + "examples/button_counter.tpg");
    settle(300);

    // Two overlapping windows, the instruction list open on a fresh line of the front one.
    const auto windows = frame.mdiArea()->subWindowList();
    for (QMdiSubWindow* w : windows)
        w->showNormal();
    windows.value(0)->setGeometry(0, 0, 1110, 330);
    windows.value(1)->setGeometry(50, 190, 1110, 470);
    frame.mdiArea()->setActiveSubWindow(windows.value(1));
    CEditorView* second = frame.activeView();
    second->grid()->scrollToTop();
    second->activate({GridTarget::Kind::Cell, 3, 0});
    settle(300);
    ok = save(&frame, out + "/taskloom-windows.png") && ok;
    second->hidePopups();

    // The worked example maximised, its sensor register's tool tip cell current.
    auto* first = qobject_cast<CEditorFrame*>(frame.mdiArea()->subWindowList().value(0));
    frame.mdiArea()->setActiveSubWindow(first);
    first->showMaximized();
    first->view()->grid()->setCurrentTarget({GridTarget::Kind::Cell, 1, 1});
    settle(300);
    ok = save(&frame, out + "/taskloom-main.png") && ok;

    // The parameter dialog on the condition's left side.
    auto& line = first->document().program().line(1);
    SetParameterDialog dialog(line, 1, devices, prompter, &frame);
    dialog.show();
    settle(300);
    ok = save(&dialog, out + "/taskloom-parameter.png") && ok;
    dialog.hide();

    // Find: "count" in the button counter, the list below and the first place shown.
    frame.mdiArea()->setActiveSubWindow(windows.value(1));
    windows.value(1)->showMaximized();
    frame.action("find")->trigger();
    auto* findText = frame.findChild<QLineEdit*>("findText");
    findText->setText("count");
    QMetaObject::invokeMethod(findText, "returnPressed");
    settle(300);
    ok = save(&frame, out + "/taskloom-find.png") && ok;

    // Check Rule on a COMPUTE left unfinished: each error with its reason.
    CEditorView* counter = frame.activeView();
    counter->activate({GridTarget::Kind::Cell, 15, 0});
    counter->choiceList()->choose(6); // COMPUTE
    frame.action("checkRule")->trigger();
    frame.findChild<QToolBar*>("findBar")->hide();
    counter->goTo({GridTarget::Kind::Cell, 15, 1});
    settle(300);
    ok = save(&frame, out + "/taskloom-errors.png") && ok;
    frame.action("undo")->trigger();

    prompter.fileAnswers = {out + "/taskloom-print.pdf"};
    ok = frame.exportProgram("pdf") && ok;
    return ok ? 0 : 1;
}
