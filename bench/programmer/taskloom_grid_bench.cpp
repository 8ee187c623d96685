// A full program (1000 lines, each a condition with a device register, a controller register
// and a LOAD after THEN) opened into an editor view offscreen: load + grid model + first paint.
// Then one cell edited, committed to the document (undo step, repaint of the changed line) and
// that line's rows painted again.

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorView.h"
#include "programmer/CGridCtrl.h"
#include "programmer/GridModel.h"
#include "programmer/LineClipboard.h"
#include "taskloom_base/Prompter.h"

#include "behaviour/CellEditing.h"
#include "behaviour/ProgramBuilder.h"
#include "behaviour/ProgramFile.h"
#include "motion/DeviceTable.h"

#include <QApplication>
#include <QDir>
#include <QImage>

#include <benchmark/benchmark.h>

namespace {

using namespace programmer;

QApplication* app()
{
    static QApplication* instance = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "taskloom_grid_bench";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return instance;
}

class SilentPrompter : public Prompter {
  public:
    void message(const QString&) override {}
    bool confirm(const QString&) override { return true; }
    SaveAnswer askSave(const QString&) override { return SaveAnswer::Discard; }
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
};

const QString& fullProgramFile()
{
    static const QString path = [] {
        behaviour::BehaviorProgram p;
        p.assign(std::vector<behaviour::ProgramLine>(behaviour::BehaviorProgram::Capacity), -1, -1);
        behaviour::ProgramBuilder b(p);
        using behaviour::Operand;
        for (int i = 0; i < behaviour::BehaviorProgram::Capacity; ++i)
            b.line("L" + std::to_string(i), "line " + std::to_string(i))
                .condition(behaviour::Instr::If, Operand::device("Sensor module", 100, 20), 4,
                           Operand::number(i), behaviour::Conn::Then)
                .load(Operand::kz7(44), Operand::number(1));
        const QString file = QDir::tempPath() + "/taskloom_grid_bench.tpg";
        behaviour::saveProgramFile(file.toStdString(), p);
        return file;
    }();
    return path;
}

struct Window {
    SilentPrompter prompter;
    SystemClipboard clipboard;
    motion::DeviceTable devices;
    CEditorDoc doc{prompter};
    std::unique_ptr<CEditorView> view;
    QImage image{1100, 700, QImage::Format_RGB32};

    Window()
    {
        doc.open(fullProgramFile());
        view = std::make_unique<CEditorView>(doc, devices, prompter, clipboard);
        view->resize(1100, 700);
        view->render(&image);
    }
};

void BM_OpenProgramIntoWindow(benchmark::State& state)
{
    app();
    fullProgramFile();
    int lines = 0;
    for (auto _ : state) {
        Window w;
        lines = w.doc.program().count();
        benchmark::DoNotOptimize(w.image.constBits());
    }
    state.counters["lines"] = lines;
}
BENCHMARK(BM_OpenProgramIntoWindow)->Unit(benchmark::kMillisecond);

void BM_RedrawOneEditedLine(benchmark::State& state)
{
    app();
    Window w;
    const int line = 5;
    CGridCtrl* grid = w.view->grid();
    const QRect rows = grid->visualRect(w.view->model()->index(2 * line, 0))
                           .united(grid->visualRect(w.view->model()->index(2 * line + 1, 19)));
    QImage target(rows.size(), QImage::Format_RGB32);
    int n = 0;
    for (auto _ : state) {
        behaviour::typeText(w.doc.program().line(line), 6, std::to_string(++n % 1000));
        w.doc.commit(line, line); // as the view does after a cell edit
        grid->viewport()->render(&target, QPoint(), QRegion(rows));
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_RedrawOneEditedLine)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// The two halves of the redraw above, to see where the time goes.
void BM_CommitOneEditedCell(benchmark::State& state)
{
    app();
    Window w;
    const int line = 5;
    int n = 0;
    for (auto _ : state) {
        behaviour::typeText(w.doc.program().line(line), 6, std::to_string(++n % 1000));
        w.doc.commit(line, line); // as the view does after a cell edit
    }
}
BENCHMARK(BM_CommitOneEditedCell)->Unit(benchmark::kMicrosecond);

void BM_PaintOneLine(benchmark::State& state)
{
    app();
    Window w;
    CGridCtrl* grid = w.view->grid();
    const QRect rows = grid->visualRect(w.view->model()->index(10, 0))
                           .united(grid->visualRect(w.view->model()->index(11, 19)));
    QImage target(rows.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        grid->viewport()->render(&target, QPoint(), QRegion(rows));
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_PaintOneLine)->Unit(benchmark::kMicrosecond);

} // namespace
