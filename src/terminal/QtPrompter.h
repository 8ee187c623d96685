#pragma once
#include "termsession/Prompter.h"

class QWidget;

namespace terminal {

class QtPrompter : public Prompter {
  public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // Screenshot runs: an error is shown without waiting for OK, so nothing blocks the run.
    void setNonBlocking(bool on) { nonBlocking_ = on; }
    void error(const std::string& text, const std::string& detail) override;
    bool confirmOverwrite(const std::string& text) override;
    std::string openFile(const std::string& title, const std::string& filters) override;
    std::string saveFile(const std::string& title, const std::string& filters) override;

  private:
    QWidget* parent_;
    bool nonBlocking_ = false;
};

} // namespace terminal
