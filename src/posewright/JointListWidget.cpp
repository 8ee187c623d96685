#include "posewright/JointListWidget.h"

#include "posewright/ValueControl.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>

namespace posewright {

JointListWidget::JointListWidget(JointList& list, int controlId, QWidget* parent)
    : QWidget(parent), list_(list), id_(controlId), editor_(new ValueControl(100, this)),
      on_(new QPushButton("On", this)), off_(new QPushButton("Off", this))
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    QFont f = font();
    f.setPixelSize(14);
    setFont(f);
    editor_->hide();
    on_->setGeometry(220, 330, 60, 23);
    off_->setGeometry(220, 360, 60, 23);
    connect(editor_, &ValueControl::notify, this, &JointListWidget::onEditor);
    connect(on_, &QPushButton::clicked, this, [this] {
        list_.hideEditor();
        sync();
        emit notify(id_, JointList::On);
    });
    connect(off_, &QPushButton::clicked, this, [this] {
        list_.hideEditor();
        sync();
        emit notify(id_, JointList::Off);
    });
    connect(qApp, &QApplication::focusChanged, this, &JointListWidget::focusMoved);
    sync();
}

JointListWidget::~JointListWidget()
{
    // The children go after this body: a focused button or editor hands its focus on while it is
    // destroyed, and sync() must not touch the ones already gone.
    disconnect(qApp, nullptr, this, nullptr);
}

QPoint JointListWidget::cellCentre(int index) const
{
    const CellRect r = JointList::cellRect(index);
    return {r.left + r.width / 2, r.top + r.height / 2};
}

bool JointListWidget::ownsFocusTarget(QWidget* w) const
{
    return w && (w == this || w == on_ || w == off_ || editor_->isAncestorOf(w) || w == editor_);
}

void JointListWidget::focusMoved(QWidget* old, QWidget* now)
{
    if (ownsFocusTarget(old) && !ownsFocusTarget(now)) {
        list_.focusLost();
        sync();
    }
}

void JointListWidget::onEditor(int, int code)
{
    switch (code) {
    case 200:
        list_.setEditorText(editor_->text().toStdString());
        emit notify(id_, JointList::ValueEntered);
        return;
    case 201:
        emit notify(id_, JointList::StepDown);
        return;
    case 202:
        emit notify(id_, JointList::StepUp);
        return;
    case 203:
        list_.hideEditor();
        sync();
        return;
    default:
        return;
    }
}

void JointListWidget::sync()
{
    on_->setVisible(list_.live());
    off_->setVisible(list_.live());
    on_->setEnabled(list_.enabled());
    off_->setEnabled(list_.enabled());
    if (list_.editorVisible() && list_.editorIndex() >= 0) {
        const CellRect r = JointList::editorRect(list_.editorIndex());
        editor_->setGeometry(r.left, r.top, r.width, r.height);
        // What the user is typing stays until the joint's own value is repainted.
        if (list_.editorWrites() != shownWrites_) {
            shownWrites_ = list_.editorWrites();
            editor_->setText(QString::fromStdString(list_.editorText()));
        }
        editor_->show();
    } else {
        editor_->hide();
    }
    update();
}

bool JointListWidget::event(QEvent* e)
{
    // A name cut to fit its column is shown whole on hover.
    if (e->type() == QEvent::ToolTip && list_.live()) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int row = (help->pos().y() - 20) / 20;
        if (help->pos().y() >= 20 && row < static_cast<int>(list_.joints().size()))
            QToolTip::showText(help->globalPos(), QString::fromStdString(list_.label(row)), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void JointListWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    if (!list_.live()) {
        p.drawText(QRect(0, height() / 2, width(), 20), Qt::AlignHCenter | Qt::AlignVCenter, kNotLiveText);
        return;
    }
    // The header's band reaches over the buttons' column: the font may be wider than the
    // 240 pixels the layout was drawn for.
    p.drawText(QRect(0, 0, width(), 18), Qt::AlignLeft | Qt::AlignVCenter, kHeader);
    const auto& joints = list_.joints();
    for (size_t i = 0; i < joints.size(); ++i) {
        const int idx = static_cast<int>(i);
        const JointList::Joint& j = joints[i];
        p.setPen(Qt::black);
        const QRect label(0, 20 + 20 * idx, 158, 18);
        p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(QString::fromStdString(list_.label(idx)), Qt::ElideRight,
                                              label.width()));
        const CellRect c = JointList::cellRect(idx);
        const QRect cell(c.left, c.top, c.width, c.height);
        if (j.selected) {
            p.fillRect(cell, Qt::black); // text in the inverse of the background
            p.setPen(QPen(Qt::darkGray));
            p.drawLine(cell.topLeft(), cell.topRight());
            p.drawLine(cell.topLeft(), cell.bottomLeft());
            p.setPen(Qt::white);
        } else if (j.hovered) {
            p.setPen(QPen(Qt::lightGray));
            p.drawLine(cell.topLeft(), cell.topRight());
            p.drawLine(cell.topLeft(), cell.bottomLeft());
            p.setPen(QPen(Qt::darkGray));
            p.drawLine(cell.bottomLeft(), cell.bottomRight());
            p.drawLine(cell.topRight(), cell.bottomRight());
            p.setPen(Qt::black);
        } else {
            p.setPen(j.present ? Qt::black : Qt::gray);
        }
        p.drawText(cell.adjusted(5, 1, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(JointList::cellText(j)));
    }
}

void JointListWidget::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    const auto r = list_.press(pos.x(), pos.y(), e->modifiers() & Qt::ControlModifier);
    sync();
    if (r.picked) {
        editor_->edit()->setFocus();
        editor_->edit()->selectAll();
        emit notify(id_, JointList::Picked);
    } else if (r.takeFocus) {
        setFocus();
    }
}

void JointListWidget::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (list_.hover(pos.x(), pos.y()))
        update();
}

void JointListWidget::leaveEvent(QEvent*)
{
    if (list_.leave())
        update();
}

} // namespace posewright
