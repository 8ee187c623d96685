#include "programmer/CEditorFrame.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorView.h"

#include <QCloseEvent>

namespace programmer {

CEditorFrame::CEditorFrame(CEditorView* view, QWidget* parent) : QMdiSubWindow(parent), view_(view)
{
    setWidget(view);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(&view->document(), &CEditorDoc::modifiedChanged, this, &CEditorFrame::updateTitle);
    connect(&view->document(), &CEditorDoc::pathChanged, this, &CEditorFrame::updateTitle);
    updateTitle();
}

CEditorDoc& CEditorFrame::document() const
{
    return view_->document();
}

void CEditorFrame::updateTitle()
{
    setWindowTitle(document().title() + (viewNumber_ > 0 ? QString(":%1").arg(viewNumber_) : QString()) +
                   "[*]");
    setWindowModified(document().isModified());
}

void CEditorFrame::setViewNumber(int n)
{
    viewNumber_ = n;
    updateTitle();
}

void CEditorFrame::closeEvent(QCloseEvent* e)
{
    if (guard_ && !guard_(this)) {
        e->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(e);
}

} // namespace programmer
