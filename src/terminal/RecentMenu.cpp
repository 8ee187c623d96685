#include "terminal/RecentMenu.h"

#include "termcore/TerminalTexts.h"
#include "terminal/QtBridge.h"
#include "termsession/TerminalSession.h"

namespace terminal {

RecentMenu::RecentMenu(TerminalSession& session, QWidget* parent)
    : QMenu(QStringLiteral("Recent &files"), parent), session_(session)
{
}

void RecentMenu::refresh(bool enabled)
{
    menuAction()->setEnabled(enabled);
    setEnabled(enabled);
    const auto& recent = session_.config().recent();
    QStringList labels;
    for (int i = recent.count() - 1; i >= 0; --i) // newest first
        labels << menuText(recent.label(i));
    if (labels == labels_ && !isEmpty())
        return;
    labels_ = labels;
    clear();
    if (labels.isEmpty()) {
        QAction* empty = addAction(QString::fromLatin1(termcore::texts::kEmptyPath));
        empty->setData(termcore::RecentFileList::kPlaceholderCommand);
        empty->setEnabled(false);
        return;
    }
    for (int i = recent.count() - 1; i >= 0; --i) {
        const int command = termcore::RecentFileList::indexToCommand(i);
        QAction* a = addAction(labels[recent.count() - 1 - i]);
        a->setData(command);
        connect(a, &QAction::triggered, this, [this, command] { session_.recentCommand(command); });
    }
}

} // namespace terminal
