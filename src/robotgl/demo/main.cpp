// robotview_demo: the main 3D view and the seven pose panels on their own, on a robot profile,
// fed with poses so that they can be seen (and dragged, double-clicked, right-clicked) without
// a controller.
//
//   robotview_demo [--profile FILE.rbt] [--offline] [--sweep] [--still]
//                  [--screenshot FILE.png [--settle MS]] [--seconds N]
//
// --sweep keeps every joint of every window moving; --still feeds nothing after start. With
// --seconds the program quits after N seconds and prints its CPU use per second of wall time.

#include "platform/InstallPaths.h"
#include "robotgl/Main3DView.h"
#include "robotgl/PosePanel.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <sys/resource.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>

using robotgl::Main3DView;
using robotgl::PosePanel;

namespace {

// Poses of the default humanoid, by bus ID (odd IDs on the right; left servos are mirrored).
struct Pose {
    const char* name;
    std::map<int, int> right; // right-side values; the left side mirrors them unless given
    std::map<int, int> left;
};

const std::array<Pose, 7> kPoses{{
    {"Stand", {}, {}},
    {"Arms forward", {{1, 760}, {5, 600}}, {}},
    {"Arms out", {{3, 760}}, {}},
    {"Wave", {{1, 900}, {3, 560}, {5, 760}}, {{2, 512}, {4, 572}, {6, 452}}},
    {"Squat", {{1, 650}, {11, 700}, {13, 760}, {15, 420}}, {}},
    {"Kick", {{11, 720}, {13, 560}, {2, 300}}, {{12, 512}, {14, 512}, {16, 512}}},
    {"Lean", {{3, 600}, {9, 600}, {17, 420}}, {{4, 423}, {10, 512}, {18, 512}}},
}};

// The pose's value for a joint: given, mirrored from its right-side partner, or initial.
int poseValue(const Pose& pose, int id, int initial)
{
    if (auto l = pose.left.find(id); l != pose.left.end())
        return l->second;
    if (auto r = pose.right.find(id); r != pose.right.end())
        return r->second;
    if (id % 2 == 0)
        if (auto r = pose.right.find(id - 1); r != pose.right.end())
            return 1023 - r->second;
    return initial;
}

void applyPose(robotgl::RobotWindow& w, const Pose& pose)
{
    for (const auto& joint : w.model().profile().joints())
        w.model().setJointTarget(joint.id, poseValue(pose, joint.id, joint.initialValue));
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("robotview_demo");
    QCommandLineParser args;
    args.addHelpOption();
    args.addOptions({
        {"profile", "Robot profile (default: default.rbt in the robot folder).", "file"},
        {"offline", "Show the windows as without a controller."},
        {"sweep", "Keep every joint of every window moving."},
        {"still", "Feed no poses after start."},
        {"screenshot", "Save a picture of the window and quit.", "png"},
        {"settle", "Milliseconds before the screenshot (default 2500).", "ms", "2500"},
        {"seconds", "Quit after this many seconds and print the CPU used.", "n"},
        {"size", "Window size (default 1240x700).", "WxH", "1240x700"},
    });
    args.process(app);
    const QString profile = args.isSet("profile")
                                ? args.value("profile")
                                : QString::fromStdString(platform::robotFilePath("default.rbt"));

    QWidget window;
    window.setWindowTitle("Robot views");
    auto* main = new Main3DView(profile);
    main->setMinimumSize(320, 240);
    auto* status = new QLabel;
    status->setMinimumWidth(260);
    status->setWordWrap(true);
    status->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* top = new QHBoxLayout;
    top->addWidget(main, 1);
    top->addWidget(status);
    auto* row = new QHBoxLayout;
    QList<PosePanel*> panels;
    for (int k = 0; k < robotview::kPanelCount; ++k) {
        auto* p = new PosePanel(k, profile);
        p->setMinimumSize(100, 130);
        row->addWidget(p);
        panels.append(p);
    }
    for (int k = 0; k < panels.size(); ++k)
        panels[k]->setNeighbours(k > 0 ? panels[k - 1] : nullptr,
                                 k + 1 < panels.size() ? panels[k + 1] : nullptr);
    main->setPosePanels(panels);
    auto* layout = new QVBoxLayout(&window);
    layout->addLayout(top, 1);
    layout->addLayout(row);

    const bool live = !args.isSet("offline");
    QString loadNote;
    if (!main->modelLoaded())
        loadNote = "<p><b>No model:</b> " + main->loadError().toHtmlEscaped() + "</p>";
    auto describe = [&](const QString& last) {
        status->setText("<p><b>Drag</b> the robot onto a panel (middle: overwrite, edges: insert), "
                        "drag a panel onto another, <b>double-click</b> or <b>right-click</b> a panel. "
                        "<b>SHIFT</b> + drag turns (left), moves (right) or zooms (middle) a view.</p>" +
                        loadNote + "<p>" + last + "</p>");
    };
    describe("Last gesture: none");

    main->setLive(live);
    main->setMayDrag(true);
    main->setAllJointsKnown(true);
    const int poseCount = 5; // panels beyond the page's pose count are unlit
    for (int k = 0; k < panels.size(); ++k) {
        PosePanel* p = panels[k];
        p->setLive(live);
        p->setInteractive(true);
        p->setLit(k < poseCount);
        p->setCaption(QString("%1 %2").arg(k + 1).arg(kPoses[static_cast<size_t>(k)].name));
        applyPose(*p, kPoses[static_cast<size_t>(k)]);
        QObject::connect(p, &PosePanel::notify, [&, p](int id, robotview::PoseGesture code) {
            static const std::map<robotview::PoseGesture, const char*> names{
                {robotview::PoseGesture::DoubleClicked, "double-clicked"},
                {robotview::PoseGesture::DroppedAfter, "current pose dropped after"},
                {robotview::PoseGesture::DroppedBefore, "current pose dropped before"},
                {robotview::PoseGesture::Dropped, "current pose dropped into"},
                {robotview::PoseGesture::PoseMoved, "pose panel dropped on"},
                {robotview::PoseGesture::MirrorPose, "Mirror pose"},
                {robotview::PoseGesture::DeletePose, "Delete pose"},
            };
            if (code == robotview::PoseGesture::PoseMoved)
                if (int j = robotview::panelIndexOfId(p->dragSourceId()); j >= 0)
                    panels[j]->resetDrag();
            describe(QString("Last gesture: panel %1 (ID %2), code %3: %4")
                         .arg(p->index())
                         .arg(id)
                         .arg(static_cast<int>(code))
                         .arg(names.at(code)));
        });
    }

    int shown = 2;
    auto show = [&](int k) {
        shown = k;
        applyPose(*main, kPoses[static_cast<size_t>(k)]);
        main->setCaption(QString("Current pose: %1").arg(kPoses[static_cast<size_t>(k)].name));
        for (PosePanel* p : panels)
            p->setSelected(p->index() == k);
    };
    show(shown);

    QTimer feeder;
    if (args.isSet("sweep")) {
        // Every joint of every window keeps turning: the targets swap before they are reached.
        QObject::connect(&feeder, &QTimer::timeout, [&, high = false]() mutable {
            high = !high;
            QList<robotgl::RobotWindow*> all{main};
            for (PosePanel* p : panels)
                all.append(p);
            for (robotgl::RobotWindow* w : all)
                for (const auto& joint : w->model().profile().joints())
                    w->model().setJointTarget(joint.id, high ? 812 : 212);
        });
        feeder.start(250);
    } else if (!args.isSet("still")) {
        QObject::connect(&feeder, &QTimer::timeout, [&] { show((shown + 1) % poseCount); });
        feeder.start(1800);
    }

    const QStringList size = args.value("size").split('x');
    window.resize(size.value(0).toInt() > 0 ? size.value(0).toInt() : 1240,
                  size.value(1).toInt() > 0 ? size.value(1).toInt() : 700);
    window.show();

    if (args.isSet("screenshot")) {
        const QString path = args.value("screenshot");
        feeder.stop(); // the picture shows the poses settled
        QTimer::singleShot(args.value("settle").toInt(), &app, [&, path] {
            const bool ok = window.grab().save(path);
            std::printf("%s %s (renderer: %s)\n", ok ? "saved" : "could not save", qPrintable(path),
                        qPrintable(main->rendererName()));
            app.exit(ok ? 0 : 1);
        });
    }
    QElapsedTimer wall;
    double cpuStart = 0;
    if (args.isSet("seconds")) {
        // The first second (start-up, first frames, font cache) is not counted.
        QTimer::singleShot(1000, &app, [&] {
            wall.start();
            cpuStart = cpuSeconds();
        });
        QTimer::singleShot(1000 + static_cast<int>(args.value("seconds").toDouble() * 1000), &app, [&] {
            const double seconds = wall.elapsed() / 1000.0;
            int frames = main->framesDrawn();
            for (PosePanel* p : panels)
                frames += p->framesDrawn();
            std::printf(
                "cpu %.4f of a core over %.1f s, %d frames drawn in all, window %dx%d, renderer: %s\n",
                (cpuSeconds() - cpuStart) / seconds, seconds, frames, window.width(), window.height(),
                qPrintable(main->rendererName()));
            app.exit(0);
        });
    }
    return app.exec();
}
