#include "posewright/CMainFrame.h"

#include "guikit/GuideWindow.h"
#include "platform/InstallPaths.h"
#include "platform/SettingsKeys.h"
#include "platform/Version.h"
#include "posewright/CPosewrightView.h"
#include "posewright/Prompter.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>

namespace posewright {

CMainFrame::CMainFrame(PosewrightSettings& settings, const QString& robotFolder, Prompter& prompter)
    : settings_(settings), robotFolder_(robotFolder), prompter_(prompter)
{
    // The title marks a page with unsaved changes.
    setWindowTitle(QString(kAppTitle) + "[*]");
    view_ = new CPosewrightView(robotFolder + "/" + settings.robotProfile, prompter, this);
    view_->core().setSavedPort(settings.comPort);
    setCentralWidget(view_);

    QMenu* start = menuBar()->addMenu("Start(&S)");
    auto add = [this](QMenu* m, const QString& text, auto&& handler) {
        QAction* a = m->addAction(text);
        connect(a, &QAction::triggered, this, handler);
        actions_.push_back(a);
        return a;
    };
    add(start, "Connect KZ-7(&C)", [this] { view_->menu(MenuCommand::Connect); });
    add(start, "Disconnect KZ-7(&D)", [this] { view_->menu(MenuCommand::Disconnect); });
    add(start, "Refresh Page(&P)", [this] { view_->menu(MenuCommand::RefreshPage); });
    add(start, "Reset 3D view(&R)", [this] { view_->menu(MenuCommand::Reset3DView); });
    start->addSeparator();
    add(start, "Exit(&X)", [this] { close(); });
    QMenu* setup = menuBar()->addMenu("Setup(&U)");
    add(setup, "Change Robot file (&C)", [this] { changeRobotFile(); });
    add(setup, "Offset configuration (&O)", [this] { view_->menu(MenuCommand::OffsetConfiguration); });
    QMenu* help = menuBar()->addMenu("Help(&H)");
    add(help, "User Guide(&G)", [this] {
        guikit::GuideWindow::showGuide(this);
    })->setShortcut(QKeySequence::HelpContents);
    add(help, "About Posewright", [this] {
        QMessageBox::about(
            this, "About Posewright",
            QStringLiteral("Posewright\nThe motion page editor of the Tessaban kit.\nVersion %1")
                .arg(QString::fromLatin1(platform::suiteVersion())));
    });
    for (QMenu* m : {start, setup})
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::updateMenus);
    connect(view_, &CPosewrightView::formSynced, this, &CMainFrame::updateMenus);
    updateMenus();
    adjustSize();
}

CMainFrame::~CMainFrame()
{
    shutDown();
}

QAction* CMainFrame::action(const QString& text) const
{
    for (QAction* a : actions_)
        if (a->text() == text)
            return a;
    return nullptr;
}

void CMainFrame::updateMenus()
{
    if (!view_)
        return;
    const std::pair<const char*, MenuCommand> items[] = {
        {"Connect KZ-7(&C)", MenuCommand::Connect},
        {"Disconnect KZ-7(&D)", MenuCommand::Disconnect},
        {"Refresh Page(&P)", MenuCommand::RefreshPage},
        {"Reset 3D view(&R)", MenuCommand::Reset3DView},
        {"Offset configuration (&O)", MenuCommand::OffsetConfiguration},
    };
    for (const auto& [text, command] : items)
        if (QAction* a = action(text))
            a->setEnabled(view_->menuEnabled(command));
    setWindowModified(view_->core().pageModified());
    if (statusBar()->currentMessage() != view_->messageLine()->text())
        statusBar()->showMessage(view_->messageLine()->text());
}

void CMainFrame::changeRobotFile()
{
    const QString name = prompter_.openRobotFile(robotFolder_, settings_.robotProfile);
    if (name.isEmpty())
        return;
    settings_.robotProfile = name;
    prompter_.tell("Succeed to change robot file!\nPlease restart program.");
}

void CMainFrame::moveEvent(QMoveEvent* e)
{
    QMainWindow::moveEvent(e);
    settings_.windowX = frameGeometry().left();
    settings_.windowY = frameGeometry().top();
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    // Closing the link answers the controller's "not saved" question with "y": ask first.
    if (view_ && !view_->core().confirmLeavingPage()) {
        e->ignore();
        return;
    }
    shutDown();
    e->accept();
}

void CMainFrame::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    settings_.comPort = view_->core().savedPort();
    // The view goes first: it returns the controller to its menu and closes the port.
    delete view_;
    view_ = nullptr;
    QSettings store(platform::settings::Organisation, platform::settings::Application);
    settings_.save(store);
}

} // namespace posewright
