#include "posewright/CMainFrame.h"

#include "guikit/GuideWindow.h"
#include "platform/InstallPaths.h"
#include "platform/SettingsKeys.h"
#include "platform/Version.h"
#include "posewright/CPosewrightView.h"
#include "posewright/Prompter.h"
#include "posewright_texts/PosewrightTexts.h"

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

    QMenu* start = menuBar()->addMenu(posewright::text(Txt::MenuStart));
    auto add = [this](QMenu* m, const QString& text, auto&& handler) {
        QAction* a = m->addAction(text);
        connect(a, &QAction::triggered, this, handler);
        actions_.push_back(a);
        return a;
    };
    add(start, posewright::text(Txt::MenuConnect), [this] { view_->menu(MenuCommand::Connect); });
    add(start, posewright::text(Txt::MenuDisconnect), [this] { view_->menu(MenuCommand::Disconnect); });
    add(start, posewright::text(Txt::MenuRefreshPage), [this] { view_->menu(MenuCommand::RefreshPage); });
    add(start, posewright::text(Txt::MenuReset3DView), [this] { view_->menu(MenuCommand::Reset3DView); });
    start->addSeparator();
    add(start, posewright::text(Txt::MenuExit), [this] { close(); });
    QMenu* setup = menuBar()->addMenu(posewright::text(Txt::MenuSetup));
    add(setup, posewright::text(Txt::MenuChangeRobotFile), [this] { changeRobotFile(); });
    add(setup, posewright::text(Txt::MenuOffset), [this] { view_->menu(MenuCommand::OffsetConfiguration); });
    QMenu* help = menuBar()->addMenu(posewright::text(Txt::MenuHelp));
    add(help, posewright::text(Txt::MenuUserGuide), [this] {
        guikit::GuideWindow::showGuide(this);
    })->setShortcut(QKeySequence::HelpContents);
    add(help, posewright::text(Txt::MenuAbout), [this] {
        QMessageBox::about(
            this, posewright::text(Txt::MenuAbout),
            QString(posewright::text(Txt::AboutText)).arg(QString::fromLatin1(platform::suiteVersion())));
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
    const std::pair<int, MenuCommand> items[] = {
        {Txt::MenuConnect, MenuCommand::Connect},
        {Txt::MenuDisconnect, MenuCommand::Disconnect},
        {Txt::MenuRefreshPage, MenuCommand::RefreshPage},
        {Txt::MenuReset3DView, MenuCommand::Reset3DView},
        {Txt::MenuOffset, MenuCommand::OffsetConfiguration},
    };
    for (const auto& [label, command] : items)
        if (QAction* a = action(posewright::text(label)))
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
    prompter_.tell(posewright::text(Txt::RobotFileChanged));
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
