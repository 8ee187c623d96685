#pragma once
// The user guide, read inside the program that asked for it: the guide's Markdown pages with
// their pictures and links between pages, Back and Contents buttons. One window per program;
// asking again raises it.

#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace guikit {

class GuideWindow : public QWidget {
    Q_OBJECT
  public:
    // folder holds index.md; a folder without it shows a page saying where the guide was looked for.
    explicit GuideWindow(const QString& folder, QWidget* parent = nullptr);

    // Shows owner's guide window (made on first use, from platform::guideFolder()); it is a
    // window of its own that goes away with its owner.
    static GuideWindow* showGuide(QWidget* owner);

    QTextBrowser* browser() const { return browser_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void home();
    void fitPictures();

    QString folder_;
    QTextBrowser* browser_;
    QToolButton* back_;
};

} // namespace guikit
