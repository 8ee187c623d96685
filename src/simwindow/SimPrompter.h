#pragma once
// Every question and message of the simulator window goes through here, so that tests can
// script the answers. The window title is the caption.

#include <QString>

#include <optional>

class QWidget;

namespace simwindow {

class SimPrompter {
  public:
    virtual ~SimPrompter() = default;
    virtual void inform(const QString& text) = 0;
    // OK / Cancel; true for OK.
    virtual bool confirm(const QString& text) = 0;
    // A whole number in low..high, starting at initial; none when cancelled.
    virtual std::optional<int> askNumber(const QString& text, int initial, int low, int high) = 0;
    // An existing file, or a file to write (asking before replacing one); empty when dismissed.
    virtual QString openFile(const QString& filter, const QString& start) = 0;
    virtual QString saveFile(const QString& filter, const QString& start) = 0;
};

// The real one: message boxes, an input dialog and file dialogs over the window.
class QtSimPrompter : public SimPrompter {
  public:
    explicit QtSimPrompter(QWidget* parent) : parent_(parent) {}
    void inform(const QString& text) override;
    bool confirm(const QString& text) override;
    std::optional<int> askNumber(const QString& text, int initial, int low, int high) override;
    QString openFile(const QString& filter, const QString& start) override;
    QString saveFile(const QString& filter, const QString& start) override;

  private:
    QWidget* parent_;
};

} // namespace simwindow
