#pragma once
// Every message box and dialog question of the motion editor goes through here, so that tests
// can answer them.

#include "posewright_core/EditorCore.h"

#include <QString>

#include <optional>

namespace posewright {

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A message box; an empty caption means the application's title.
    virtual void inform(const QString& caption, const QString& text) = 0;
    // A message box telling that something succeeded (the information icon).
    virtual void tell(const QString& text) = 0;
    virtual bool askYesNo(const QString& text) = 0;
    // Save, Discard and Cancel buttons.
    virtual SaveChoice askSaveChanges(const QString& text) = 0;
    // The "Select COM port" dialog; nullopt when cancelled.
    virtual std::optional<int> choosePort(int savedPort) = 0;
    // The robot file Open dialog in folder with the name preselected; empty when cancelled.
    virtual QString openRobotFile(const QString& folder, const QString& name) = 0;
};

} // namespace posewright
