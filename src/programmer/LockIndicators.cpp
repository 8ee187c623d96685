#include "programmer/LockIndicators.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

#include <QtGui/qguiapplication_platform.h>

namespace programmer {

namespace {

constexpr std::array<const char*, 3> kNames{"CAP", "NUM", "SCRL"};

} // namespace

LockIndicators::LockIndicators(QStatusBar* bar) : QObject(bar)
{
    for (size_t i = 0; i < panes_.size(); ++i) {
        auto* pane = new QLabel(bar);
        // As wide as the last and longest name, shown or not, so that the panes never shift.
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QString::fromLatin1(kNames.back())) + 12);
        pane->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(pane);
        panes_[i] = pane;
    }
    qApp->installEventFilter(this);
    refresh();
}

void LockIndicators::refresh()
{
    shown_ = read();
    const std::array<bool, 3> on{shown_.caps, shown_.num, shown_.scroll};
    for (size_t i = 0; i < panes_.size(); ++i)
        panes_[i]->setText(on[i] ? QString::fromLatin1(kNames[i]) : QString());
}

bool LockIndicators::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // A key reaches its window first, then each widget it passes through: one look is enough.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock) &&
            watched->isWindowType())
            refresh();
        break;
    }
    case QEvent::ApplicationStateChange:
        refresh();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace programmer

// Last in the file: the X headers define names (KeyPress, None, Bool) that Qt uses too.
#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#endif

namespace programmer {

#if QT_CONFIG(xcb)
static bool indicatorOn(Display* display, const char* name)
{
    const Atom atom = XInternAtom(display, name, True);
    Bool on = False;
    return atom != None && XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) && on;
}
#endif

LockStates LockIndicators::read()
{
    LockStates states;
#if QT_CONFIG(xcb)
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (Display* display = x11 ? x11->display() : nullptr) {
        states.caps = indicatorOn(display, "Caps Lock");
        states.num = indicatorOn(display, "Num Lock");
        states.scroll = indicatorOn(display, "Scroll Lock");
    }
#endif
    return states;
}

} // namespace programmer
