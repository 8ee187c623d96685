#include "terminal/SendMenu.h"

#include "terminal/QtBridge.h"
#include "terminal/SendStringsDialog.h"
#include "termsession/TerminalSession.h"

namespace terminal {

SendMenu::SendMenu(TerminalSession& session, QWidget* parent)
    : QMenu(QStringLiteral("Se&nd"), parent), session_(session)
{
    rebuild();
}

void SendMenu::rebuild()
{
    clear();
    const auto& strings = session_.settings().sendStrings;
    for (int i = 0; i < termcore::SessionSettings::kSendStrings; ++i) {
        if (strings[i].text.empty())
            continue;
        const int number = i + 1;
        addAction(menuText(strings[i].name) + QStringLiteral("\tCtrl+%1").arg(number), this,
                  [this, number] { session_.sendString(number); });
    }
    addSeparator();
    editAction_ = addAction(QStringLiteral("&Edit send strings..."), this, &SendMenu::edit);
    setSendingEnabled(sendingEnabled_);
}

void SendMenu::setSendingEnabled(bool enabled)
{
    sendingEnabled_ = enabled;
    for (QAction* a : actions())
        if (!a->isSeparator() && a != editAction_)
            a->setEnabled(enabled);
}

void SendMenu::edit()
{
    SendStringsDialog dialog(session_.settings().sendStrings, parentWidget());
    if (dialog.exec() != QDialog::Accepted)
        return;
    session_.settings().sendStrings = dialog.strings();
    rebuild();
}

} // namespace terminal
