#include "guikit/GuideWindow.h"

#include "platform/InstallPaths.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace guikit {

GuideWindow::GuideWindow(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(folder), browser_(new QTextBrowser(this)),
      back_(new QToolButton(this))
{
    setWindowTitle(QStringLiteral("Tessaban User Guide"));
    back_->setText(QStringLiteral("Back"));
    back_->setEnabled(false);
    auto* contents = new QToolButton(this);
    contents->setText(QStringLiteral("Contents"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back_);
    buttons->addWidget(contents);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);

    // Links to web pages go to the desktop's browser; links between guide pages stay here.
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({folder_});
    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(contents, &QToolButton::clicked, this, &GuideWindow::home);
    resize(820, 680);
    home();
}

void GuideWindow::home()
{
    const QString index = folder_ + QStringLiteral("/index.md");
    if (QFileInfo::exists(index)) {
        browser_->setSource(QUrl::fromLocalFile(index), QTextDocument::MarkdownResource);
        return;
    }
    // A package installed without its documentation (minimal systems drop share/doc): say so
    // where the guide would be, rather than show an empty window.
    browser_->setPlainText(
        QStringLiteral("The user guide is not installed on this computer.\n\n"
                       "It was looked for in %1.\n"
                       "Install the Tessaban package with its documentation to read it here.")
            .arg(folder_));
}

GuideWindow* GuideWindow::showGuide(QWidget* owner)
{
    auto* window = owner->findChild<GuideWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new GuideWindow(QString::fromStdString(platform::guideFolder()), owner);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace guikit
