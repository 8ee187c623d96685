#pragma once
// Every question and message of the simulator window goes through here, so that tests can
// script the answers. The window title is the caption.

#include "guikit/QtPrompter.h"

#include <QString>

#include <optional>

class QWidget;

namespace simwindow {

class SimPrompter : public virtual guikit::Prompter {
  public:
    // A whole number in low..high, starting at initial; none when cancelled.
    virtual std::optional<int> askNumber(const QString& text, int initial, int low, int high) = 0;
};

// The real one: message boxes, an input dialog and file dialogs over the window, captioned with
// its title; OK / Cancel defaults to Cancel.
class QtSimPrompter : public SimPrompter, public guikit::QtPrompter {
  public:
    explicit QtSimPrompter(QWidget* parent);
    std::optional<int> askNumber(const QString& text, int initial, int low, int high) override;
};

} // namespace simwindow
