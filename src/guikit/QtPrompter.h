#pragma once
// The prompter on the screen: message boxes and file dialogs over a parent window. The programs
// differ only in their captions and in each box's icon, buttons and default button, so those are
// data (a Look) and the boxes are built in one place.

#include "guikit/Prompter.h"

#include <QMessageBox>

class QWidget;

namespace guikit {

// One message box's icon, buttons and default button (NoButton: the box's own choice).
struct BoxLook {
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// The look of each of a prompter's boxes. The Save box's buttons stand for Save, Discard and
// Cancel: Yes or Save saves, No or Discard discards, anything else cancels.
struct PrompterLook {
    BoxLook inform{QMessageBox::Information, QMessageBox::Ok};
    BoxLook confirm{QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel};
    BoxLook yesNo{QMessageBox::Question, QMessageBox::Yes | QMessageBox::No};
    BoxLook save{QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel};
};

// A box with the look, not yet shown (for a box that needs more, such as an informative text).
QMessageBox* newBox(QWidget* parent, const QString& caption, const QString& text, const BoxLook& look);

// A modal box with the look; the button that closed it (Escape gives the box's escape button).
QMessageBox::StandardButton showBox(QWidget* parent, const QString& caption, const QString& text,
                                    const BoxLook& look);

// The one Save / Discard / Cancel question, in the given look.
SaveAnswer askSaveChanges(QWidget* parent, const QString& caption, const QString& text, const BoxLook& look);

// "Desc(*.a)|*.a|All files(*.*)|*.*|" as a file dialog's filter list ("Desc(*.a);;All files(*.*)");
// a filter without bars is already in that form and comes back as it is.
QString dialogFilter(const QString& filter);

class QtPrompter : public virtual Prompter {
  public:
    // A null caption captions each box with its parent window's current title.
    explicit QtPrompter(const QString& caption = QString(), const PrompterLook& look = {},
                        QWidget* parent = nullptr);
    void setParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }
    QString caption() const;

    void inform(const QString& text) override;
    bool confirm(const QString& text) override;
    bool askYesNo(const QString& text) override;
    SaveAnswer askSave(const QString& text) override;
    QString openFile(const QString& filter, const QString& start) override;
    QString saveFile(const QString& filter, const QString& start, const QString& defaultSuffix) override;

  private:
    QString caption_;
    PrompterLook look_;
    QWidget* parent_;
};

} // namespace guikit
