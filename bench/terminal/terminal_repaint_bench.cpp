// Repaint of the whole terminal view (80 x 36 cells) from the model, offscreen, through the
// view's off-screen pixmap. Target: under 2 ms.

#include "termcore/TerminalScreen.h"
#include "terminal/TerminalView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <string>

namespace {

QApplication* app()
{
    static QApplication* instance = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "terminal_repaint_bench";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return instance;
}

// state.range(0) = 1: with a find's highlights on every row (matches looked up per paint).
void BM_TerminalFullRepaint(benchmark::State& state)
{
    app();
    termcore::TerminalScreen screen;
    terminal::TerminalView view(screen, terminal::chooseTerminalFont(), 80, 36);
    view.createScreen(80, 1200);
    view.resize(view.sizeHint()); // the view's first size in the window: 80 x 36 cells
    view.show();                  // lays out the viewport (offscreen)
    std::string text;
    for (int row = 0; row < 60; ++row)
        text += "ID:" + std::to_string(row) +
                " pos=0512 speed=100 load=-12 temp=33 volt=11.8 ok -- KZ-7 console line\r\n";
    view.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (state.range(0))
        view.setFindText("ok");
    const QSize size = view.viewportSizeHint();
    QImage target(size, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        view.paintRegion(painter, QRect(QPoint(0, 0), size));
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["cells"] = 80 * 36;
}
BENCHMARK(BM_TerminalFullRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
