#pragma once
// A program window inside the main window: one editor view of a document. Several frames may
// show one document; the main window decides whether one may close.

#include <QMdiSubWindow>

#include <functional>

namespace programmer {

class CEditorDoc;
class CEditorView;

class CEditorFrame : public QMdiSubWindow {
    Q_OBJECT
  public:
    CEditorFrame(CEditorView* view, QWidget* parent = nullptr);
    CEditorView* view() const { return view_; }
    CEditorDoc& document() const;
    // Asked before the frame closes; false keeps it open.
    void setCloseGuard(std::function<bool(CEditorFrame*)> guard) { guard_ = std::move(guard); }
    void updateTitle();
    // 0 for the only window of its program, else its number among the program's windows.
    void setViewNumber(int n);

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    CEditorView* view_;
    std::function<bool(CEditorFrame*)> guard_;
    int viewNumber_ = 0;
};

} // namespace programmer
