// The editor form following a page that kz7sim plays: the CPU the form uses while the page plays
// (against the same form idle), and the delay from the moment a repaint reaches the link's buffer
// to the main view's first picture of the new pose. Run once decoding as the painting arrives
// (what the editor does during a play) and once waiting for quiet lines (as before).
//   xvfb-run -a -s '-screen 0 1600x1000x24' env QT_QPA_PLATFORM=xcb build/bench/posewright_play_bench
// Targets on the 2-core build machine: under 0.1 of a core added, under 150 ms to the picture.

#include "posewright/CPosewrightView.h"
#include "posewright_core/Prompter.h"
#include "robotgl/Main3DView.h"
#include "sim/ControllerMemory.h"
#include "sim/MotionPage.h"
#include "support/Kz7SimProcess.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct QuietPrompter : posewright::Prompter {
    void inform(const QString&, const QString&) override {}
    void tell(const QString&) override {}
    bool askYesNo(const QString&) override { return true; }
    posewright::SaveChoice askSaveChanges(const QString&) override { return posewright::SaveChoice::Discard; }
    std::optional<int> choosePort(int) override { return std::nullopt; }
    QString openRobotFile(const QString&, const QString&) override { return {}; }
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Result {
    double idleCores = 0, playCores = 0;
    std::vector<qint64> delays; // ms from bytes buffered to the picture moving
};

// Plays page 1 (poses whose joint 1 alternates 200 / 800, ~0.6 s apart) and watches the form.
Result playOnce(posewright::CPosewrightView& v, bool asItArrives)
{
    Result r;
    double c0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(3000);
    r.idleCores = (cpuSeconds() - c0) / (static_cast<double>(wall.elapsed()) / 1000.0);

    robotview::RobotModel& model = v.mainView()->model();
    v.pagePlay()->click();
    if (!asItArrives)
        v.link().setDecodeAsItArrives(false);
    c0 = cpuSeconds();
    wall.restart();
    QElapsedTimer since;
    bool buffered = false;
    int shown = model.displayedValue(0);
    while (v.core().playing() && wall.elapsed() < 30000) {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!buffered && v.link().bufferedBytes() > 0) {
            buffered = true;
            since.start();
        }
        if (model.displayedValue(0) != shown) {
            shown = model.displayedValue(0);
            if (buffered)
                r.delays.push_back(since.elapsed());
            buffered = false;
            // The rest of this pose's steps are the same picture moving on.
            (void)QTest::qWaitFor([&] { return !model.moving(); }, 2000);
            shown = model.displayedValue(0);
        }
        QThread::msleep(1);
    }
    r.playCores = (cpuSeconds() - c0) / (static_cast<double>(wall.elapsed()) / 1000.0);
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    testsupport::PortFolder ports("posewright-bench-ports");
    testsupport::TempFolder files("posewright-bench");
    setenv("XDG_CONFIG_HOME", files.file("config").c_str(), 1);
    {
        sim::ControllerMemory memory;
        sim::MotionPage page;
        page.name = "Bench";
        page.poseCount = 7;
        for (int p = 0; p < 7; ++p) {
            for (int id = 0; id < sim::kJointRows; ++id)
                page.poses[p].values[id] = 512;
            page.poses[p].values[1] = static_cast<uint16_t>(p % 2 ? 800 : 200);
            page.poses[p].speed = 100;
            page.poses[p].pause = 45;
        }
        page.encode(memory.page(1));
        if (!memory.save(files.file("kz7.mem")))
            return 1;
    }
    testsupport::Kz7SimProcess sim;
    if (!sim.start({"--com", "1", "--memory", files.file("kz7.mem"), "--pace", "57600"})) {
        std::fprintf(stderr, "kz7sim: %s\n", sim.error().c_str());
        return 1;
    }
    QuietPrompter prompter;
    QWidget top;
    auto* v =
        new posewright::CPosewrightView(TESSABAN_SOURCE_DIR "/data/Robot files/default.rbt", prompter, &top);
    top.resize(v->size());
    top.show();
    v->start(1);
    if (!QTest::qWaitFor(
            [&] { return v->core().inEditScreen() && v->core().enabled() && !v->link().isWaiting(); },
            20000)) {
        std::fprintf(stderr, "the form never reached the page editor\n");
        return 1;
    }
    v->pageNumberEdit()->setText("1");
    for (const bool asItArrives : {true, false}) {
        const Result r = playOnce(*v, asItArrives);
        (void)QTest::qWaitFor([&] { return v->core().enabled() && !v->link().isWaiting(); }, 10000);
        qint64 worst = 0, sum = 0;
        for (qint64 d : r.delays) {
            worst = std::max(worst, d);
            sum += d;
        }
        std::printf("%s: idle %.3f of a core, playing %.3f (added %.3f); %zu poses seen, buffered-to-picture "
                    "mean %lld ms, worst %lld ms\n",
                    asItArrives ? "decoding as it arrives" : "waiting for quiet lines", r.idleCores,
                    r.playCores, r.playCores - r.idleCores, r.delays.size(),
                    static_cast<long long>(r.delays.empty() ? 0 : sum / static_cast<qint64>(r.delays.size())),
                    static_cast<long long>(worst));
        std::printf("  each:");
        for (qint64 d : r.delays)
            std::printf(" %lld", static_cast<long long>(d));
        std::printf("\n");
    }
    return 0;
}
