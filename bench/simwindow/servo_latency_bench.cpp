// From a servo command's last byte reaching the simulator window's controller to the first
// frame drawn that shows the joint moving. Target: under 100 ms. Run under a virtual display:
//   xvfb-run -a -s '-screen 0 1600x1000x24' build/bench/simwindow_bench

#include "robotgl/Main3DView.h"
#include "simwindow/SimWindow.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "simwindow_bench";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    // Never destroyed: the process ends with it, after the benchmark library's own teardown.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

void ServoCommandToFrame(benchmark::State& state)
{
    application();
    const std::string folder = "/tmp/simwindow-bench-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    ::setenv("TESSABAN_PORTS", folder.c_str(), 1);
    sim::SimOptions options;
    options.com = 200;
    options.profile = std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/default.rbt";
    options.pace = 57600;
    simwindow::SimWindow window(options);
    window.resize(1000, 640);
    window.show();
    robotgl::Main3DView& view = *window.view();
    const int fd = ::open(window.host().devicePath().c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    // Into the motion editor, the cursor on joint 1's current value.
    window.host().act([](sim::Controller& c) {
        c.control("press MODE");
        return c.control("press START");
    });
    auto send = [&](const std::string& text) {
        return ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    };
    send("goto 0 1\r");
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 5);

    int value = 300;
    double slowest = 0;
    for (auto _ : state) {
        value = value == 300 ? 700 : 300;
        const int drawn = view.framesDrawn();
        const auto start = std::chrono::steady_clock::now();
        // "set" takes effect with the CR; at 57600 baud the line delivers it 10 bytes later.
        if (!send("set " + std::to_string(value) + "\r")) {
            state.SkipWithError("cannot write to the simulator");
            break;
        }
        const int wanted = value;
        auto shown = [&] {
            return view.framesDrawn() > drawn &&
                   view.model().displayedValue(0) != (wanted == 300 ? 700 : 300);
        };
        while (!shown() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 2);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, seconds);
        state.SetIterationTime(seconds);
        // Let the joint arrive before the next command.
        QElapsedTimer rest;
        rest.start();
        while (rest.elapsed() < 400)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    state.counters["slowest_ms"] = slowest * 1000;
    ::close(fd);
    window.close();
    std::filesystem::remove_all(folder);
}
BENCHMARK(ServoCommandToFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
