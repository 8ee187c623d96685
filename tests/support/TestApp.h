#pragma once
// The one QApplication of a GUI test binary.

class QApplication;

namespace testsupport {

// Creates the application on first use, on `platform` unless QT_QPA_PLATFORM names one (the
// GL tests ask for "xcb" and run under a virtual X server; the others draw off-screen).
QApplication& testApp(const char* platform = "offscreen");

} // namespace testsupport
