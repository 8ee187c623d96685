#include "terminal/FindBar.h"

#include "termcore/ScreenText.h"
#include "termcore/TerminalTexts.h"
#include "terminal/TerminalView.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace terminal {

FindBar::FindBar(TerminalView& view, QWidget* parent) : QWidget(parent), view_(view)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(QStringLiteral("Find:"), this));
    edit_ = new QLineEdit(this);
    row->addWidget(edit_, 1);
    auto button = [&](const QString& text, auto slot) {
        auto* b = new QToolButton(this);
        b->setText(text);
        connect(b, &QToolButton::clicked, this, slot);
        row->addWidget(b);
    };
    button(QStringLiteral("Previous"), [this] { step(false); });
    button(QStringLiteral("Next"), [this] { step(true); });
    label_ = new QLabel(this);
    label_->setMinimumWidth(120);
    row->addWidget(label_);
    button(QStringLiteral("Close"), [this] { close(); });
    connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        view_.setFindText(text.toStdString());
        view_.setCurrentMatch(std::nullopt);
        label_->clear();
    });
    edit_->installEventFilter(this); // Enter finds the next match, Shift+Enter the previous
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QAction::triggered, this, &FindBar::close);
    addAction(escape);
    hide();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::open(const QString& text, bool takeFocus)
{
    show();
    if (!text.isEmpty())
        edit_->setText(text);
    else if (!view_.selection().empty())
        edit_->setText(QString::fromLatin1(view_.selectedText()).section(QLatin1Char('\n'), 0, 0));
    edit_->selectAll();
    if (takeFocus)
        edit_->setFocus();
    view_.setFindText(edit_->text().toStdString());
}

void FindBar::close()
{
    hide();
    view_.setFindText({});
    view_.setCurrentMatch(std::nullopt);
    emit closed();
}

void FindBar::screenCleared()
{
    if (isVisible())
        label_->clear();
}

QString FindBar::status() const
{
    return label_->text();
}

void FindBar::step(bool forward)
{
    if (!isVisible()) {
        open({}, true);
        if (edit_->text().isEmpty())
            return;
    }
    const std::string needle = edit_->text().toStdString();
    const auto& current = view_.currentMatch();
    const auto match =
        termcore::ScreenSearch::find(view_.screen(), needle, current ? current->start : -1, forward);
    view_.setFindText(needle);
    view_.setCurrentMatch(match);
    if (needle.empty()) {
        label_->clear();
    } else if (!match) {
        label_->setText(QStringLiteral("Not found"));
    } else {
        const auto& screen = view_.screen();
        const size_t total =
            termcore::ScreenSearch::matchesInRows(screen, needle, 0, screen.usedRows() - 1).size();
        label_->setText(QString::fromStdString(termcore::texts::matchCount(total)));
    }
}

} // namespace terminal
