#include "guikit/GuideWindow.h"

#include "platform/InstallPaths.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

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
    connect(browser_, &QTextBrowser::sourceChanged, this, &GuideWindow::fitPictures);
    browser_->viewport()->installEventFilter(this);
    resize(900, 720);
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

void GuideWindow::fitPictures()
{
    // Screenshots are wider than a reading window: each picture is shown at most as wide as the
    // page, so the page never needs a horizontal scroll bar, and again whenever the page's width
    // changes. The room a scroll bar takes is left free, so that one appearing cannot make the
    // pictures too wide again.
    QTextDocument* document = browser_->document();
    const int width = browser_->viewport()->width() - 2 * static_cast<int>(document->documentMargin()) -
                      (browser_->verticalScrollBar()->isVisible()
                           ? 0
                           : browser_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    // Gathered first: changing a format while walking the fragments would move them under us.
    struct Change {
        int position, length;
        QTextImageFormat format;
    };
    std::vector<Change> changes;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QSize natural =
                document->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>().size();
            const int fitted = std::max(1, std::min(natural.width(), width));
            if (natural.isEmpty() || image.width() == fitted)
                continue;
            image.setWidth(fitted);
            image.setHeight(natural.height() * fitted / natural.width());
            changes.push_back({fragment.position(), fragment.length(), image});
        }
    }
    for (const Change& change : changes) {
        QTextCursor cursor(document);
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(change.format);
    }
}

bool GuideWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == browser_->viewport() && event->type() == QEvent::Resize)
        fitPictures();
    return QWidget::eventFilter(watched, event);
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
