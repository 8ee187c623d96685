#include "support/TestApp.h"

#include <QApplication>

#include <cerrno>

// fontconfig and D-Bus keep caches for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libdbus-1\n";
}

namespace testsupport {

QApplication& testApp(const char* platform)
{
    static QApplication* app = [platform] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", platform);
        static int argc = 1;
        static char* argv[] = {program_invocation_short_name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

} // namespace testsupport
