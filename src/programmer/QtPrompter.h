#pragma once
#include "taskloom_base/Prompter.h"

class QWidget;

namespace programmer {

// Message boxes and file dialogs on the screen, captioned with the application title.
class QtPrompter : public Prompter {
  public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(const QString& text) override;
    bool confirm(const QString& text) override;
    bool askYesNo(const QString& text) override;
    SaveAnswer askSave(const QString& text) override;
    QString openFile(const QString& filter, const QString& start) override;
    QString saveFile(const QString& filter, const QString& start, const QString& defaultSuffix) override;

  private:
    QWidget* parent_ = nullptr;
};

// "Desc(*.a)|*.a|All files(*.*)|*.*|" as a file dialog's filter list ("Desc(*.a);;All files(*.*)").
QString dialogFilter(const QString& barFilter);

} // namespace programmer
