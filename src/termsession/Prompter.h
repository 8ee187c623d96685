#pragma once
// Every message and file dialog of the terminal goes through here, so that tests can answer them.

#include <string>

namespace terminal {

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A modal error with caption "Error"; detail, when given, says why (and what to do).
    virtual void error(const std::string& text, const std::string& detail = {}) = 0;
    // "Are you sure?" with caption "Overwrite" and OK/Cancel; true for OK.
    virtual bool confirmOverwrite(const std::string& text) = 0;
    // An open dialog for an existing file; empty when dismissed.
    virtual std::string openFile(const std::string& title, const std::string& filters) = 0;
    // A save dialog (with the usual overwrite confirmation); empty when dismissed.
    virtual std::string saveFile(const std::string& title, const std::string& filters) = 0;
};

} // namespace terminal
