// Taskloom's pure pieces: window clamping and the settings store, grid positions, the grid
// model's looks, the recent-file list, file filters, and the undo history over random edits.

#include "support/TempFolder.h"

#include "programmer/GridLayout.h"
#include "programmer/GridModel.h"
#include "programmer/QtPrompter.h"
#include "programmer/UndoHistory.h"
#include "taskloom_base/TaskloomSettings.h"

#include "behaviour/CellEditing.h"
#include "behaviour/ProgramFile.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QPixmap>
#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace programmer;
using behaviour::BehaviorProgram;
using Kind = GridTarget::Kind;

namespace {

void ensureApp()
{
    testsupport::testApp();
}

std::string example(const std::string& name)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/data/examples/" + name;
}

} // namespace

TEST(WindowClamp, PullsTheStoredGeometryOntoTheScreen)
{
    struct Case {
        const char* what;
        WindowGeometry stored;
        int screenW, screenH;
        WindowGeometry expected;
    };
    const Case cases[] = {
        {"first start on 1024 x 768 (defaults: the screen)", {1024, 768, 0, 0}, 1024, 768, {924, 668, 0, 0}},
        {"width 300 on a 1280 screen", {300, 600, 10, 10}, 1280, 1024, {500, 600, 10, 10}},
        {"width 5000", {5000, 600, 0, 0}, 1280, 1024, {1180, 600, 0, 0}},
        {"pos_x 2000", {800, 600, 2000, 0}, 1280, 1024, {800, 600, 1180, 0}},
        {"pos_y -50", {800, 600, 0, -50}, 1280, 1024, {800, 600, 0, 0}},
        {"minimised position far negative", {800, 600, -32000, -32000}, 1280, 1024, {800, 600, 0, 0}},
        {"height 100 and 9000", {800, 100, 0, 0}, 1280, 1024, {800, 300, 0, 0}},
        {"height at the cap", {800, 924, 0, 924}, 1280, 1024, {800, 924, 0, 924}},
        {"a 599-wide screen keeps 500 though it exceeds W", {599, 400, 0, 0}, 599, 400, {500, 300, 0, 0}},
        {"the 500 x 300 fallback screen", {500, 300, 0, 0}, 500, 300, {500, 300, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(clampWindowGeometry(c.stored, c.screenW, c.screenH), c.expected);
    }
}

TEST(Settings, DefaultsRoundTripAndTheStoredNames)
{
    testsupport::TempFolder folder("taskloom-settings");
    const QString file = QString::fromStdString(folder.file("Tessaban.conf"));
    {
        QSettings store(file, QSettings::IniFormat);
        TaskloomSettings s;
        s.load(store, 1024, 768);
        EXPECT_EQ(s.comPort, 1);
        EXPECT_EQ(s.robotProfile, "default.rbt");
        EXPECT_EQ(s.window, (WindowGeometry{924, 668, 0, 0}));
        EXPECT_TRUE(s.documentPath.isEmpty() && s.motionDocPath.isEmpty() && s.firmwarePath.isEmpty());
        s.comPort = 7;
        s.robotProfile = "arm.rbt";
        s.window = {800, 600, 5000, 40};
        s.documentPath = "/p/a.tpg";
        s.motionDocPath = "/p/WALK.MTN";
        s.firmwarePath = "/p/kz7.hex";
        for (const char* f : {"/a.tpg", "/b.tpg", "/c.tpg", "/d.tpg", "/e.tpg", "/c.tpg"})
            s.recentFiles = withRecent(s.recentFiles, f);
        s.save(store);
    }
    QSettings raw(file, QSettings::IniFormat);
    const QString g = "Taskloom (Tessaban)/";
    EXPECT_EQ(raw.value(g + "Settings/Com Port").toInt(), 7);
    EXPECT_EQ(raw.value(g + "Settings/Robot Profile").toString(), "arm.rbt");
    EXPECT_EQ(raw.value(g + "Settings/Window width").toInt(), 800);
    EXPECT_EQ(raw.value(g + "Settings/Window pos_x").toInt(), 5000); // written as held, clamped when read
    EXPECT_EQ(raw.value(g + "Path/Document").toString(), "/p/a.tpg");
    EXPECT_EQ(raw.value(g + "Path/MotionDoc").toString(), "/p/WALK.MTN");
    EXPECT_EQ(raw.value(g + "Path/Firmware").toString(), "/p/kz7.hex");

    TaskloomSettings back;
    back.load(raw, 1280, 1024);
    EXPECT_EQ(back.window, (WindowGeometry{800, 600, 1180, 40}));
    EXPECT_EQ(back.recentFiles, (QStringList{"/c.tpg", "/e.tpg", "/d.tpg", "/b.tpg"}));
}

TEST(GridLayout, EveryPositionMapsToItsTargetAndNothingOutside)
{
    struct Case {
        int row, column, lines;
        GridTarget expected;
    };
    const Case cases[] = {
        {0, 0, 100, {Kind::LineNumber, 0, -1}},
        {1, 0, 100, {Kind::LineNumber, 0, -1}},
        {0, 1, 100, {Kind::Label, 0, -1}},
        {0, 10, 100, {Kind::Label, 0, -1}},
        {0, 11, 100, {Kind::Comment, 0, -1}},
        {0, 19, 100, {Kind::Comment, 0, -1}},
        {1, 1, 100, {Kind::Cell, 0, 0}},
        {1, 19, 100, {Kind::Cell, 0, 9}},
        {3, 2, 100, {Kind::Separator, 1, 0}},
        {3, 18, 100, {Kind::Separator, 1, 8}},
        {199, 5, 100, {Kind::Cell, 99, 2}},
        {200, 5, 100, {}},
        {-1, 5, 100, {}},
        {1, 20, 100, {}},
        {1, -1, 100, {}},
        {0, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " column " << c.column);
        const GridTarget t = targetAt(c.row, c.column, c.lines);
        EXPECT_EQ(t, c.expected);
        if (t.kind != Kind::None && t.kind != Kind::LineNumber) {
            EXPECT_EQ(targetAt(rowOf(t), columnOf(t), c.lines), t);
        }
    }
    EXPECT_EQ(columnWidth(0), 30);
    EXPECT_EQ(columnWidth(1), 90);
    EXPECT_EQ(columnWidth(2), 15);
    EXPECT_EQ(columnWidth(19), 90);
}

TEST(GridModel, ColoursFollowTheLineFlagsInOrderAndTheCellMarks)
{
    namespace LF = behaviour::LineFlag;
    struct Case {
        uint16_t flags;
        QColor expected;
    };
    const Case cases[] = {
        {0, GridColour::LinePlain},
        {LF::Edited, GridColour::LineEdited},
        {LF::Edited | LF::Current, GridColour::LineCurrent},
        {LF::Current | LF::Disabled, GridColour::LineDisabled},
        {LF::Edited | LF::Disabled | LF::Selected, GridColour::LineSelected},
        {LF::Selected, GridColour::LineSelected},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lineBackground(c.flags), c.expected) << c.flags;

    ensureApp();
    BehaviorProgram p;
    ASSERT_TRUE(behaviour::loadProgramFile(example("worked_example.tpg"), p).ok);
    GridModel model(p);
    EXPECT_EQ(model.rowCount(), 2 * p.count());
    EXPECT_EQ(model.columnCount(), 20);
    auto at = [&](int row, int col, int role) { return model.data(model.index(row, col), role); };
    // Line 2: IF ( sensor > 50 ) THEN LOAD ...
    EXPECT_EQ(at(2, 0, Qt::DisplayRole).toString(), "2");
    EXPECT_EQ(at(2, 1, Qt::DisplayRole).toString(), "[Label]  ");
    EXPECT_EQ(at(2, 11, Qt::DisplayRole).toString().left(11), "[Comment]  ");
    EXPECT_EQ(at(3, 1, Qt::DisplayRole).toString(), "IF");
    EXPECT_EQ(at(3, 2, Qt::DisplayRole).toString(), "(");
    EXPECT_TRUE(at(3, 3, Qt::DecorationRole).value<QPixmap>().size() == QSize(32, 32));
    EXPECT_EQ(Qt::Alignment(at(3, 3, Qt::TextAlignmentRole).toInt()), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_FALSE(at(3, 1, Qt::DecorationRole).isValid());
    EXPECT_EQ(at(3, 3, Qt::ToolTipRole).toString(), QString::fromStdString(p.cell(1, 1).fullText));
    EXPECT_FALSE(at(7, 3, Qt::ToolTipRole).isValid()); // an unused cell has no tip
    // A line never visited shows its names whole too.
    p.line(1).flags &= static_cast<uint16_t>(~behaviour::LineFlag::Edited);
    EXPECT_EQ(at(3, 13, Qt::ToolTipRole).toString(), "KZ-7 AUX LED");
    EXPECT_EQ(at(7, 3, Qt::BackgroundRole).value<QColor>(), GridColour::CellUnused);
    EXPECT_EQ(at(7, 3, Qt::DisplayRole).toString(), "");

    p.cell(1, 1).flags |= behaviour::CellFlag::Error;
    EXPECT_EQ(at(3, 3, Qt::BackgroundRole).value<QColor>(), GridColour::CellError);
    EXPECT_EQ(at(3, 3, Qt::ForegroundRole).value<QColor>(), GridColour::TextError);
    EXPECT_EQ(at(3, 4, Qt::BackgroundRole).value<QColor>(),
              GridColour::CellError); // separator 1 follows cell 1

    // Two rows per line added and removed at the end.
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted),
        removed(&model, &QAbstractItemModel::rowsRemoved);
    p.selectOne(0);
    ASSERT_TRUE(p.insertLines(0, 3).ok);
    model.linesChanged(0, p.count());
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 2 * 100);
    EXPECT_EQ(inserted[0][2].toInt(), 2 * 103 - 1);
    p.setConfirm([](const std::string&) { return true; });
    ASSERT_TRUE(p.deleteLines(0, 2).ok);
    model.linesChanged(0, p.count());
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(model.rowCount(), 2 * 101);
}

TEST(FileFilters, BarListsBecomeDialogFilters)
{
    EXPECT_EQ(dialogFilter("Tessaban program file(*.tpg)|*.tpg|All files(*.*)|*.*|"),
              "Tessaban program file(*.tpg);;All files(*.*)");
    EXPECT_EQ(dialogFilter("Robot file(*.rbt)|*.rbt|"), "Robot file(*.rbt)");
}

namespace {

// One random edit of the kinds the editor makes; false when it was refused.
void randomEdit(BehaviorProgram& p, std::mt19937& rng)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const int line = pick(std::min(p.count(), 30));
    auto& l = p.line(line);
    switch (pick(9)) {
    case 0:
        behaviour::chooseItem(l, 0, {52 + pick(11), static_cast<uint8_t>(pick(11))});
        break;
    case 1:
        behaviour::typeText(l, 1 + pick(4),
                            pick(2) ? std::to_string(pick(1000)) : "v" + std::to_string(pick(9)));
        break;
    case 2:
        l.label = "L" + std::to_string(pick(100));
        break;
    case 3:
        p.setCurrent(line, pick(10));
        break;
    case 4:
        p.selectOne(line);
        p.insertLines(line, 1 + pick(3));
        break;
    case 5:
        p.selectOne(line);
        p.deleteLines(line, 1 + pick(3));
        break;
    case 6:
        p.toggleEnabled(line, line + pick(3));
        break;
    case 7: {
        p.selectOne(line);
        p.extendSelection(line + pick(3));
        const auto block = p.copySelection();
        p.selectOne(pick(20));
        p.pasteBlock(block);
        break;
    }
    case 8:
        behaviour::setCustomRegister(l, 1 + pick(3), std::to_string(pick(300)), "x");
        break;
    }
}

} // namespace

TEST(UndoHistory, UndoingEverythingGivesBackTheFileByteForByte)
{
    for (const char* name : {"worked_example.tpg", "button_counter.tpg", "wheel_control.tpg"}) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(testing::Message() << name << " seed " << seed);
            BehaviorProgram p;
            p.setConfirm([](const std::string&) { return true; });
            ASSERT_TRUE(behaviour::loadProgramFile(example(name), p).ok);
            const auto original = behaviour::serializeProgram(p);
            UndoHistory history;
            history.reset(p);
            std::mt19937 rng(seed);
            std::vector<std::vector<uint8_t>> states{original};
            for (int i = 0; i < 120; ++i) {
                randomEdit(p, rng);
                if (history.record(p))
                    states.push_back(behaviour::serializeProgram(p));
            }
            ASSERT_EQ(history.steps() + 1, states.size());
            for (size_t k = states.size() - 1; k > 0; --k) {
                ASSERT_TRUE(history.undo(p));
                ASSERT_EQ(behaviour::serializeProgram(p), states[k - 1])
                    << "after undoing to state " << k - 1;
            }
            EXPECT_FALSE(history.canUndo());
            for (size_t k = 1; k < states.size(); ++k) {
                ASSERT_TRUE(history.redo(p));
                ASSERT_EQ(behaviour::serializeProgram(p), states[k]);
            }
            // A new edit after an undo drops the redo steps.
            ASSERT_TRUE(history.undo(p));
            behaviour::typeText(p.line(0), 0, "");
            p.line(3).comment = "after undo";
            ASSERT_TRUE(history.record(p));
            EXPECT_FALSE(history.canRedo());
        }
    }
}

// A step recorded with the lines it can touch is the same step a full comparison finds.
TEST(UndoHistory, NamedLinesGiveTheSameStepAsAFullComparison)
{
    struct Case {
        const char* what;
        std::function<void(BehaviorProgram&)> edit;
        int first, last;
    };
    const std::vector<Case> cases = {
        {"one cell", [](BehaviorProgram& p) { behaviour::typeText(p.line(1), 2, "9"); }, 1, 1},
        {"current line moves down", [](BehaviorProgram& p) { p.setCurrent(40, 3); }, 2, 40},
        {"a label", [](BehaviorProgram& p) { p.line(7).label = "x"; }, 7, 7},
        {"no change at all", [](BehaviorProgram&) {}, 3, 3},
        {"last line", [](BehaviorProgram& p) { p.line(99).comment = "end"; }, 99, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BehaviorProgram full, hinted;
        ASSERT_TRUE(behaviour::loadProgramFile(example("worked_example.tpg"), full).ok);
        ASSERT_TRUE(behaviour::loadProgramFile(example("worked_example.tpg"), hinted).ok);
        const auto original = behaviour::serializeProgram(full);
        UndoHistory a, b;
        a.reset(full);
        b.reset(hinted);
        c.edit(full);
        c.edit(hinted);
        const auto sa = a.record(full), sb = b.record(hinted, c.first, c.last);
        ASSERT_EQ(sa.has_value(), sb.has_value());
        if (sa) {
            EXPECT_EQ(sa->first, sb->first);
            EXPECT_EQ(sa->newLines, sb->newLines);
        }
        EXPECT_EQ(b.undo(hinted).has_value(), sb.has_value());
        EXPECT_EQ(behaviour::serializeProgram(hinted), original);
    }
}

TEST(UndoHistory, KeepsItsDepthAndIgnoresSelectionOnlyChanges)
{
    BehaviorProgram p;
    UndoHistory history(500);
    history.reset(p);
    std::vector<std::vector<uint8_t>> states{behaviour::serializeProgram(p)};
    for (int i = 0; i < 600; ++i) {
        p.line(i % 100).comment = "c" + std::to_string(i);
        ASSERT_TRUE(history.record(p));
        states.push_back(behaviour::serializeProgram(p));
    }
    EXPECT_EQ(history.steps(), 500u);
    int undone = 0;
    while (history.undo(p))
        ++undone;
    EXPECT_EQ(undone, 500);
    EXPECT_EQ(behaviour::serializeProgram(p), states[100]);

    p.selectOne(4);
    p.extendSelection(9);
    EXPECT_FALSE(history.record(p)) << "a selection alone is no step";
}
