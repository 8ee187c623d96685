#pragma once
// Every message box and file dialog of Taskloom goes through the suite's prompter, so that tests
// can script the answers. Captions are the application title.

#include "guikit/Prompter.h"

namespace programmer {

using Prompter = guikit::Prompter;
using SaveAnswer = guikit::SaveAnswer;

} // namespace programmer
