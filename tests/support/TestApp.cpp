#include "support/TestApp.h"

#include <QApplication>

#include <cerrno>

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
