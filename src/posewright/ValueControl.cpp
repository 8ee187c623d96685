#include "posewright/ValueControl.h"

#include "posewright_core/EditorCore.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QToolButton>

namespace posewright {

ValueControl::ValueControl(int controlId, QWidget* parent)
    : QWidget(parent), id_(controlId), edit_(new QLineEdit(this)), up_(new QToolButton(this)),
      down_(new QToolButton(this))
{
    setFocusPolicy(Qt::StrongFocus);
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit_));
    edit_->setFrame(false);
    edit_->installEventFilter(this);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus); // the spin leaves the focus in the edit
        b->setAutoRepeat(true);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setObjectName("stepUp");
    down_->setObjectName("stepDown");
    connect(edit_, &QLineEdit::returnPressed, this, [this] { emit notify(id_, kValueEntered); });
    connect(up_, &QToolButton::clicked, this, [this] { emit notify(id_, kValueStepUp); });
    connect(down_, &QToolButton::clicked, this, [this] { emit notify(id_, kValueStepDown); });
}

void ValueControl::setText(const QString& text)
{
    if (edit_->text() != text)
        edit_->setText(text);
}

QString ValueControl::text() const
{
    return edit_->text();
}

void ValueControl::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Qt::black);
}

void ValueControl::resizeEvent(QResizeEvent*)
{
    const int w = width(), h = height();
    edit_->setGeometry(1, 1, std::max(1, w - kSpinWidth - 1), std::max(1, h - 2));
    up_->setGeometry(w - kSpinWidth, 0, kSpinWidth, h / 2);
    down_->setGeometry(w - kSpinWidth, h / 2, kSpinWidth, h - h / 2);
}

void ValueControl::focusInEvent(QFocusEvent*)
{
    edit_->setFocus();
}

bool ValueControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                emit notify(id_, key == Qt::Key_Up ? kValueStepUp : kValueStepDown);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            // A click on the spin or the control's own frame keeps the focus inside.
            QWidget* now = QApplication::focusWidget();
            if (!(now && (now == this || isAncestorOf(now))))
                emit notify(id_, kValueFocusLost);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace posewright
