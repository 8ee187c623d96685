// The user guide window: the real guide's pages, links between them, Back and Contents, and a
// clear page where the guide is missing.

#include "guikit/GuideWindow.h"

#include "support/TempFolder.h"
#include "support/TestApp.h"

#include <QMainWindow>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

using guikit::GuideWindow;

namespace {

QToolButton* button(GuideWindow& window, const QString& text)
{
    for (auto* b : window.findChildren<QToolButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// Clicks the middle of the first occurrence of text, as a reader does.
void clickLink(QTextBrowser& browser, const QString& text)
{
    QTextCursor found = browser.document()->find(text);
    ASSERT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor middle(browser.document());
    middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
    browser.setTextCursor(middle);
    browser.ensureCursorVisible();
    const QPoint at = browser.cursorRect(middle).center();
    QTest::mousePress(browser.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(browser.viewport(), Qt::LeftButton, {}, at);
}

} // namespace

TEST(GuideWindow, WalksTheGuideLikeAReader)
{
    testsupport::testApp();
    GuideWindow window(TESSABAN_SOURCE_DIR "/docs/guide");
    QTextBrowser* browser = window.browser();
    EXPECT_TRUE(browser->toPlainText().contains("Tessaban User Guide"));
    QToolButton* back = button(window, "Back");
    ASSERT_NE(back, nullptr);
    EXPECT_FALSE(back->isEnabled());

    // A link of the contents, clicked, leads to its page; Back returns, Contents too.
    window.resize(800, 2000);
    window.show();
    // The screenshot on the first page is wider than the window: it is shown within the page.
    int pictures = 0;
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                ++pictures;
                EXPECT_GT(it.fragment().charFormat().toImageFormat().width(), 400);
                EXPECT_LE(it.fragment().charFormat().toImageFormat().width(), browser->viewport()->width());
            }
    EXPECT_EQ(pictures, 1);
    clickLink(*browser, "Troubleshooting");
    EXPECT_TRUE(browser->source().path().endsWith("/docs/guide/troubleshooting.md"));
    EXPECT_TRUE(browser->toPlainText().contains("Cannot find a robot file! Please select other one."));
    EXPECT_TRUE(back->isEnabled());
    back->click();
    EXPECT_TRUE(browser->source().path().endsWith("/docs/guide/index.md"));
    clickLink(*browser, "Your first behaviour program");
    EXPECT_TRUE(browser->source().path().endsWith("/docs/guide/first-program.md"));
    button(window, "Contents")->click();
    EXPECT_TRUE(browser->source().path().endsWith("/docs/guide/index.md"));
}

TEST(GuideWindow, SaysWhereAMissingGuideWasLookedFor)
{
    testsupport::testApp();
    testsupport::TempFolder folder("guide_missing");
    ASSERT_TRUE(folder.ok());
    GuideWindow window(QString::fromStdString(folder.path().string()));
    const QString text = window.browser()->toPlainText();
    EXPECT_TRUE(text.contains("The user guide is not installed on this computer."));
    EXPECT_TRUE(text.contains(QString::fromStdString(folder.path().string())));
}

TEST(GuideWindow, OneWindowPerProgramGoneWithIt)
{
    testsupport::testApp();
    auto* owner = new QMainWindow;
    GuideWindow* first = GuideWindow::showGuide(owner);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->isWindow());
    first->hide();
    EXPECT_EQ(GuideWindow::showGuide(owner), first);
    EXPECT_TRUE(first->isVisible());
    // From a build tree the guide is the source tree's.
    EXPECT_TRUE(first->browser()->source().path().endsWith("/docs/guide/index.md"));
    QPointer<GuideWindow> watch(first);
    delete owner;
    EXPECT_TRUE(watch.isNull());
}
