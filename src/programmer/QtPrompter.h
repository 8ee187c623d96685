#pragma once
#include "guikit/QtPrompter.h"

namespace programmer {

// Message boxes and file dialogs on the screen, captioned with the application title: questions
// with the question icon, Yes / No defaulting to No, and Yes / No / Cancel for saving.
class QtPrompter : public guikit::QtPrompter {
  public:
    QtPrompter();
};

} // namespace programmer
