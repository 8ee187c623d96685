// Taskloom's windows under the offscreen platform: every double-click and right-click target,
// the pads, the parameter dialog, the line commands and the clipboard, opening and dropping files,
// unsaved changes, undo, and an edit of every example through the widgets compared with what
// `tessaban program dump` lists for the same edit made through the core.

#include "ScriptedPrompter.h"
#include "support/TempFolder.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorFrame.h"
#include "programmer/CEditorView.h"
#include "programmer/CGridCtrl.h"
#include "programmer/CMainFrame.h"
#include "programmer/EditorPopups.h"
#include "programmer/GridModel.h"
#include "programmer/LineClipboard.h"
#include "programmer/PlaceList.h"
#include "programmer/SetParameterDialog.h"
#include "programmer/StartUp.h"
#include "taskloom_base/ProgrammerTexts.h"
#include "taskloom_base/TaskloomSettings.h"

#include "behaviour/CellEditing.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/ProgramMessages.h"
#include "behaviour/RuleChecker.h"
#include "motion/DeviceTable.h"
#include "platform/Version.h"
#include "support/TestApp.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using namespace programmer;
using behaviour::ProgramCell;
using Kind = GridTarget::Kind;

namespace {

void ensureApp()
{
    testsupport::testApp();
}

std::string source(const std::string& rel)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/" + rel;
}

class FailingClipboard : public LineClipboard {
  public:
    bool putBlock(const std::vector<uint8_t>&) override { return false; }
    std::optional<std::vector<uint8_t>> block() const override { return std::nullopt; }
};

// Runs `act` on the parameter dialog once it is open; a watchdog closes any dialog left open.
void onDialog(std::function<void(SetParameterDialog*)> act)
{
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, act] {
        auto* d = qobject_cast<SetParameterDialog*>(QApplication::activeModalWidget());
        if (!d && ++*tries < 300)
            return;
        poll->stop();
        poll->deleteLater();
        if (d)
            act(d);
        if (auto* left = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            left->reject();
    });
    poll->start(5);
}

struct Taskloom {
    testsupport::TempFolder folder{"taskloom-window"};
    ScriptedPrompter prompter;
    SystemClipboard systemClipboard;
    TaskloomSettings settings;
    motion::DeviceTable devices;
    std::unique_ptr<CMainFrame> frame;

    explicit Taskloom(LineClipboard* clipboard = nullptr)
    {
        ensureApp();
        settings.window = {1100, 800, 0, 0};
        EXPECT_TRUE(devices.load(source("data/Robot files/default.rbt")));
        frame = std::make_unique<CMainFrame>(settings, devices, prompter,
                                             clipboard ? *clipboard : systemClipboard,
                                             QString::fromStdString(source("data/Robot files/")));
        frame->show();
        frame->activateWindow();
        (void)QTest::qWaitForWindowActive(frame.get(), 2000);
    }
    // A copy of an example in the test's folder, opened in a window.
    CEditorView* open(const std::string& name)
    {
        const std::string copy = folder.file(name);
        fs::copy_file(source("data/examples/" + name), copy, fs::copy_options::overwrite_existing);
        EXPECT_TRUE(frame->openFile(QString::fromStdString(copy)));
        return frame->activeView();
    }
};

void scrollTo(CEditorView* v, const GridTarget& t)
{
    v->grid()->scrollTo(v->model()->index(rowOf(t), columnOf(t)));
}

QPoint centre(CEditorView* v, const GridTarget& t)
{
    scrollTo(v, t);
    return v->grid()->targetRect(t).center();
}

void doubleClick(CEditorView* v, const GridTarget& t)
{
    QTest::mouseDClick(v->grid()->viewport(), Qt::LeftButton, {}, centre(v, t));
}

void click(CEditorView* v, const GridTarget& t, Qt::KeyboardModifiers mods = {})
{
    QTest::mouseClick(v->grid()->viewport(), Qt::LeftButton, mods, centre(v, t));
}

void rightClick(CEditorView* v, const GridTarget& t)
{
    QTest::mouseClick(v->grid()->viewport(), Qt::RightButton, {}, centre(v, t));
}

void chooseRow(CEditorView* v, int row)
{
    ChoiceList* list = v->choiceList();
    ASSERT_TRUE(list->isVisible());
    ASSERT_LT(row, list->count());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

void type(CEditorView* v, const QString& text)
{
    ASSERT_TRUE(v->textBox()->isVisible());
    v->textBox()->selectAll();
    QTest::keyClicks(v->textBox(), text);
    QTest::keyClick(v->textBox(), Qt::Key_Return);
}

void kindMenu(CEditorView* v, const char* item)
{
    ASSERT_TRUE(v->operandKindMenu()->isVisible());
    for (QAction* a : v->operandKindMenu()->actions())
        if (a->text() == item) {
            v->operandKindMenu()->hide();
            a->trigger();
            return;
        }
    FAIL() << "no item " << item;
}

GridTarget cell(int line, int i)
{
    return {Kind::Cell, line, i};
}

const ProgramCell& cellOf(CEditorView* v, int line, int i)
{
    return v->document().program().cell(line, i);
}

// A fresh LOAD in line `line`: cell 1 the destination, cell 2 the source.
void makeLoad(CEditorView* v, int line)
{
    doubleClick(v, cell(line, 0));
    ASSERT_EQ(v->choiceList()->count(), 11);
    chooseRow(v, 5);
    ASSERT_TRUE(cellOf(v, line, 0).isInstruction(behaviour::Instr::Load));
}

} // namespace

TEST(TaskloomGrid, TypedOperandsLabelsAndCommentsThroughTheTextBox)
{
    Taskloom t;
    CEditorView* v = t.open("worked_example.tpg");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->model()->rowCount(), 2 * v->document().program().count());

    // A double-click on a separator changes nothing, so nothing is left to save.
    EXPECT_FALSE(v->document().isModified());
    doubleClick(v, {Kind::Separator, 5, 0});
    EXPECT_FALSE(v->document().isModified());

    makeLoad(v, 9);
    struct Case {
        int column;
        const char* text;
        uint8_t kind;
        int32_t value;
        const char* grid;
    };
    const Case cases[] = {
        {1, "12abc", behaviour::Kind::Number, 12, "12abc"},
        {2, "abc12", behaviour::Kind::Name, 0, "abc12"},
        {2, "counter7", behaviour::Kind::Name, 0, "counte..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // An operand whose kind is not chosen opens the kind menu; a typed one the text box.
        doubleClick(v, cell(9, c.column));
        if (cellOf(v, 9, c.column).kind() == behaviour::NotChosen)
            kindMenu(v, "Typing");
        type(v, c.text);
        EXPECT_FALSE(v->textBox()->isVisible());
        const ProgramCell& got = cellOf(v, 9, c.column);
        EXPECT_EQ(got.kind(), c.kind);
        EXPECT_EQ(got.value, c.value);
        EXPECT_EQ(got.gridText, c.grid);
        EXPECT_EQ(got.fullText, c.text);
        EXPECT_EQ(v->model()->data(v->model()->index(19, 2 * c.column + 1), Qt::DisplayRole).toString(),
                  c.grid);
    }
    // A number past 32 bits is refused and the text box stays open with it.
    doubleClick(v, cell(9, 1));
    ASSERT_TRUE(v->textBox()->isVisible());
    EXPECT_EQ(v->textBox()->text(), "12abc");
    type(v, "99999999999999");
    EXPECT_EQ(t.prompter.messages.value(0), text(Str::NumberTooLarge));
    EXPECT_TRUE(v->textBox()->isVisible());
    EXPECT_EQ(v->textBox()->text(), "99999999999999");
    EXPECT_EQ(cellOf(v, 9, 1).value, 12);
    QTest::keyClick(v->textBox(), Qt::Key_Escape);
    EXPECT_FALSE(v->textBox()->isVisible());

    // Label and comment: the text box starts 46 and 70 pixels into the area, all text selected.
    struct Area {
        Kind kind;
        int offset;
        const char* text;
    };
    for (const Area& a : {Area{Kind::Label, 46, "loop"}, Area{Kind::Comment, 70, "count the rounds"}}) {
        const GridTarget target{a.kind, 9, -1};
        doubleClick(v, target);
        QRect area = v->grid()->targetRect(target);
        area.moveTopLeft(v->grid()->viewport()->mapTo(v, area.topLeft()));
        ASSERT_TRUE(v->textBox()->isVisible());
        EXPECT_EQ(v->textBox()->geometry().left(), area.left() + a.offset);
        EXPECT_EQ(v->textBox()->geometry().right(), area.right());
        type(v, a.text);
    }
    EXPECT_EQ(v->document().program().line(9).label, "loop");
    EXPECT_EQ(v->document().program().line(9).comment, "count the rounds");
    doubleClick(v, {Kind::Label, 9, -1});
    EXPECT_EQ(v->textBox()->text(), "loop");
    EXPECT_EQ(v->textBox()->selectedText(), "loop");
    QTest::keyClick(v->textBox(), Qt::Key_Escape);

    // Right-clicking a filled operand opens the kind menu too; "KZ-7" offers the write list.
    rightClick(v, cell(9, 1));
    kindMenu(v, "KZ-7");
    ASSERT_TRUE(v->choiceList()->isVisible());
    EXPECT_EQ(v->choiceList()->count(), 8);
    chooseRow(v, 2); // AUX LED
    EXPECT_EQ(cellOf(v, 9, 1).kind(), behaviour::Kind::Controller);
    EXPECT_EQ(cellOf(v, 9, 1).fullText, "KZ-7 AUX LED");
    EXPECT_TRUE(v->model()->data(v->model()->index(19, 3), Qt::DecorationRole).isValid());
}

TEST(TaskloomGrid, ChoosingTheSameInstructionKeepsTheLine)
{
    Taskloom t;
    CEditorView* v = t.open("button_counter.tpg");
    const behaviour::ProgramLine before = v->document().program().line(1); // LOAD count <- 0
    doubleClick(v, cell(1, 0));
    chooseRow(v, 5); // LOAD again
    const behaviour::ProgramLine& after = v->document().program().line(1);
    EXPECT_EQ(after.cells, before.cells);
    EXPECT_EQ(after.separators, before.separators);
    doubleClick(v, cell(1, 0));
    chooseRow(v, 6); // COMPUTE: the line is laid out again
    EXPECT_TRUE(after.cells[0].isInstruction(behaviour::Instr::Compute));
    EXPECT_EQ(after.cells[1].gridText, "Undefine");
    EXPECT_EQ(after.separators[1].text, "=");
    EXPECT_TRUE(after.cells[4].inUse());
}

TEST(TaskloomGrid, ButtonPadTexts)
{
    Taskloom t;
    CEditorView* v = t.open("button_counter.tpg");
    // Line 9: IF ( Button = U+L ) AND; cell 3 is the button constant.
    ASSERT_EQ(cellOf(v, 8, 3).role(), behaviour::Role::Button);
    struct Case {
        int bits;
        const char* text;
        bool byFocus; // closed by moving the focus away, else as the focus loss does
    };
    const Case cases[] = {
        {8 | 2 | 16, "U+L+S", true}, {4, "D", false},       {0, "", true},
        {31, "U+L+R+D+S", false},    {1 | 16, "R+S", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        doubleClick(v, cell(8, 3));
        BitPad* pad = v->buttonPad();
        ASSERT_TRUE(pad->isVisible());
        EXPECT_EQ(pad->size(), QSize(120, 75));
        for (int bit : {8, 4, 2, 1, 16}) {
            QCheckBox* box = pad->boxForBit(bit);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->isChecked(), (cellOf(v, 8, 3).value & bit) != 0);
            if (box->isChecked() != ((c.bits & bit) != 0))
                QTest::mouseClick(box, Qt::LeftButton);
        }
        if (c.byFocus) {
            v->grid()->setFocus();
            QApplication::processEvents();
        } else {
            pad->close();
        }
        EXPECT_FALSE(pad->isVisible());
        EXPECT_EQ(cellOf(v, 8, 3).value, c.bits);
        EXPECT_EQ(cellOf(v, 8, 3).gridText, c.text);
        EXPECT_EQ(cellOf(v, 8, 3).fullText, c.text);
    }
}

TEST(TaskloomGrid, SelectionLineCommandsAndPasteBetweenWindows)
{
    Taskloom t;
    t.prompter.confirmAnswers = {true, true, true, true};
    CEditorView* v = t.open("button_counter.tpg");
    auto& p = v->document().program();
    const int count = p.count();

    // Click line 2, Shift+click line 4: lines 2..4 selected.
    click(v, {Kind::LineNumber, 1, -1});
    click(v, {Kind::LineNumber, 3, -1}, Qt::ShiftModifier);
    EXPECT_EQ(p.selFirst(), 1);
    EXPECT_EQ(p.selLast(), 3);
    EXPECT_EQ(v->model()->data(v->model()->index(4, 0), Qt::BackgroundRole).value<QColor>(),
              GridColour::LineSelected);
    t.frame->updateActions();
    EXPECT_TRUE(t.frame->action("insertLine")->isEnabled());

    t.frame->action("copy")->trigger();
    ASSERT_TRUE(t.systemClipboard.hasBlock());
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(LinecraftMime));

    const std::vector<behaviour::ProgramLine> copied{p.line(1), p.line(2), p.line(3)};
    const behaviour::ProgramLine fifth = p.line(4), blank;
    // Three blank lines before the selection, which moves down with its lines.
    t.frame->action("insertLine")->trigger();
    EXPECT_EQ(p.count(), count + 3);
    EXPECT_EQ(v->model()->rowCount(), 2 * (count + 3));
    EXPECT_EQ(p.line(1).cells, blank.cells);
    EXPECT_EQ(p.line(4).cells, copied[0].cells);
    EXPECT_EQ(p.selFirst(), 4);
    t.frame->action("deleteLine")->trigger();
    EXPECT_EQ(p.count(), count);
    EXPECT_EQ(v->model()->rowCount(), 2 * count);
    EXPECT_EQ(p.line(4).cells, fifth.cells);

    // The Delete key in the line-number column deletes the selected lines.
    click(v, {Kind::LineNumber, 1, -1});
    QTest::keyClick(v->grid(), Qt::Key_Delete);
    EXPECT_EQ(p.line(3).cells, fifth.cells);

    // Paste into a second program window: the whole grid is rebuilt and shows the lines.
    t.frame->newDocument();
    CEditorView* w = t.frame->activeView();
    ASSERT_NE(w, v);
    click(w, {Kind::LineNumber, 10, -1});
    t.frame->updateActions();
    EXPECT_TRUE(t.frame->action("paste")->isEnabled());
    t.frame->action("paste")->trigger();
    auto& q = w->document().program();
    EXPECT_EQ(q.count(), 103); // one line replaced by three
    EXPECT_EQ(w->model()->rowCount(), 2 * 103);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(q.line(10 + i).cells, copied[static_cast<size_t>(i)].cells) << i;
    // Names and labels came over as their texts: the pasted program checks on its own terms.
    EXPECT_EQ(q.line(10).cells[1].text, "count");
    EXPECT_EQ(w->model()->data(w->model()->index(21, 3), Qt::DisplayRole).toString(), "count");
    EXPECT_TRUE(w->document().isModified());
}

TEST(TaskloomGrid, CutKeepsTheLinesWhenTheClipboardFails)
{
    FailingClipboard failing;
    Taskloom t(&failing);
    CEditorView* v = t.open("button_counter.tpg");
    const auto before = behaviour::serializeProgram(v->document().program());
    click(v, {Kind::LineNumber, 1, -1});
    t.frame->action("cut")->trigger();
    EXPECT_EQ(t.prompter.messages.value(0), text(Str::ClipboardFailed));
    EXPECT_EQ(behaviour::serializeProgram(v->document().program()), before);
}

TEST(TaskloomParameters, ListsEntriesMasksAndRefusals)
{
    Taskloom t;
    CEditorView* v = t.open("worked_example.tpg");
    makeLoad(v, 9);

    struct Case {
        const char* what;
        int column; // 1 destination (write), 2 source (read)
        QString firstDevice;
        int idRow, addressRow; // a device and register to pick, or -1 for Custom ID
        QString idText, addressText;
        int message; // refused with this message (the dialog stays open)
        uint8_t mask;
        QString fullText;
    };
    const Case cases[] = {
        {"named ID, numeric address", 1, "All Joyntra", -1, -1, "arm", "30", 0, 2, "arm:30"},
        {"256 refused", 1, "All Joyntra", -1, -1, "256", "30", Str::ValueRange, 0, ""},
        {"huge number refused", 2, "Sensor module", -1, -1, "3", "99999999999999", Str::ValueRange, 0, ""},
        {"empty box refused", 2, "Sensor module", -1, -1, "", "3", Str::EnterValue, 0, ""},
        {"names are never range-checked", 2, "Sensor module", -1, -1, "arm", "pos", 0, 3, "arm:pos"},
        {"numeric", 1, "All Joyntra", -1, -1, "7", "255", 0, 0, "7:255"},
        {"a sensor register from the lists", 2, "Sensor module", 1, 0, "", "", 0, 0,
         "Sensor module:Left IR sensor data"},
        {"broadcast servo register", 1, "All Joyntra", 1, 2, "", "", 0, 0, "All Joyntra:CW margin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        t.prompter.messages.clear();
        const ProgramCell before = cellOf(v, 9, c.column);
        bool stayedOpen = false;
        QString keptId, keptAddress;
        onDialog([&](SetParameterDialog* d) {
            EXPECT_EQ(d->windowTitle(), "Set Parameter");
            EXPECT_EQ(d->idList()->item(0)->text(), "Custom ID");
            EXPECT_EQ(d->idList()->item(1)->text(), c.firstDevice);
            if (c.idRow >= 0) {
                d->idList()->setCurrentRow(c.idRow);
                EXPECT_TRUE(d->addressList()->isEnabled());
                EXPECT_FALSE(d->idBox()->isEnabled());
                d->addressList()->setCurrentRow(c.addressRow);
            } else {
                d->idList()->setCurrentRow(0);
                EXPECT_TRUE(d->idBox()->isEnabled());
                d->idBox()->setText(c.idText);
                d->addressBox()->setText(c.addressText);
            }
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
            stayedOpen = d->isVisible();
            keptId = d->idBox()->text();
            keptAddress = d->addressBox()->text();
        });
        doubleClick(v, cell(9, c.column));
        if (cellOf(v, 9, c.column).kind() != behaviour::Kind::Device) // a device register opens it itself
            kindMenu(v, "Joyntra");
        if (c.message) {
            EXPECT_TRUE(stayedOpen);
            EXPECT_EQ(keptId, c.idText);
            EXPECT_EQ(keptAddress, c.addressText);
            EXPECT_EQ(t.prompter.messages.value(0), text(c.message));
            EXPECT_EQ(cellOf(v, 9, c.column), before);
        } else {
            EXPECT_FALSE(stayedOpen);
            EXPECT_TRUE(t.prompter.messages.isEmpty());
            EXPECT_EQ(cellOf(v, 9, c.column).kind(), behaviour::Kind::Device);
            EXPECT_EQ(cellOf(v, 9, c.column).mask(), c.mask);
            EXPECT_EQ(QString::fromStdString(cellOf(v, 9, c.column).fullText), c.fullText);
        }
    }

    // Reopening: a cell made from the lists selects the same device and register again.
    struct Reopen {
        const char* what;
        std::function<void(behaviour::ProgramLine&)> set;
        int idRow, addressRow;
        QString idText, addressText;
    };
    const Reopen reopens[] = {
        {"from the lists", [](auto& l) { behaviour::setDeviceRegister(l, 2, "Sensor module", 100, 22); }, 1,
         2, "100", "28"},
        {"register not in the list", [](auto& l) { behaviour::setCustomRegister(l, 2, "100", "99"); }, 0, -1,
         "100", "99"},
        {"mask 1", [](auto& l) { behaviour::setCustomRegister(l, 2, "5", "pos"); }, 0, -1, "5", "pos"},
        {"never set", [](auto& l) { l.cells[2].code[2] = behaviour::NotChosen; }, 0, -1, "", ""},
    };
    for (const Reopen& r : reopens) {
        SCOPED_TRACE(r.what);
        behaviour::ProgramLine& line = v->document().program().line(9);
        r.set(line);
        int idRow = -2, addressRow = -2;
        QString idText, addressText;
        bool listEnabled = false;
        onDialog([&](SetParameterDialog* d) {
            idRow = d->idList()->currentRow();
            addressRow = d->addressList()->currentRow();
            idText = d->idBox()->text();
            addressText = d->addressBox()->text();
            listEnabled = d->addressList()->isEnabled();
            d->reject();
        });
        doubleClick(v, cell(9, 2));
        if (v->operandKindMenu()->isVisible())
            kindMenu(v, "Joyntra");
        EXPECT_EQ(idRow, r.idRow);
        EXPECT_EQ(addressRow, r.addressRow);
        EXPECT_EQ(idText, r.idText);
        EXPECT_EQ(addressText, r.addressText);
        EXPECT_EQ(listEnabled, r.idRow > 0);
    }
}

TEST(TaskloomParameters, ADeviceRegisterOnTheLeftReleasesTheButtonConstant)
{
    Taskloom t;
    CEditorView* v = t.open("button_counter.tpg");
    ASSERT_EQ(cellOf(v, 8, 3).role(), behaviour::Role::Button);
    onDialog([](SetParameterDialog* d) {
        d->idList()->setCurrentRow(1);      // Sensor module
        d->addressList()->setCurrentRow(6); // Obstacle detection flag (0x20)
        d->accept();
    });
    rightClick(v, cell(8, 1));
    kindMenu(v, "Joyntra");
    EXPECT_EQ(cellOf(v, 8, 1).kind(), behaviour::Kind::Device);
    EXPECT_EQ(cellOf(v, 8, 3).role(), behaviour::Role::Right);
    EXPECT_EQ(cellOf(v, 8, 3).value, 0);
    EXPECT_EQ(cellOf(v, 8, 3).gridText, "Undefine");
}

TEST(TaskloomShell, OpeningDroppingMenusAndRobotFile)
{
    Taskloom t;
    // The menus with their accelerators.
    const std::pair<const char*, const char*> keys[] = {
        {"new", "Ctrl+N"},          {"open", "Ctrl+O"},       {"save", "Ctrl+S"},
        {"cut", "Ctrl+X"},          {"copy", "Ctrl+C"},       {"paste", "Ctrl+V"},
        {"insertLine", "Ctrl+I"},   {"enableLine", "Ctrl+E"}, {"checkRule", "Ctrl+R"},
        {"downloadPlay", "Ctrl+D"}, {"undo", "Ctrl+Z"},       {"redo", "Ctrl+Y"},
    };
    for (const auto& [name, key] : keys) {
        ASSERT_NE(t.frame->action(name), nullptr) << name;
        EXPECT_EQ(t.frame->action(name)->shortcut().toString(), key) << name;
    }
    ASSERT_NE(t.frame->action("guide"), nullptr);
    EXPECT_EQ(t.frame->action("guide")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(t.frame->windowTitle(), "Taskloom (Tessaban)");
    EXPECT_FALSE(t.frame->editMenu()->menuAction()->isVisible()); // no program window yet
    t.frame->action("about")->trigger();
    EXPECT_EQ(t.prompter.messages.value(0),
              QString("Taskloom (Tessaban)\nThe behaviour programmer of the Tessaban robot kit.\nVersion %1")
                  .arg(platform::suiteVersion()));
    t.prompter.messages.clear();

    // Wrong extension: 10002 and nothing opens; "mtn" goes to Robot Motion with the file preset.
    struct Drop {
        const char* name;
        bool opensWindow;
        bool motion;
        int message;
    };
    const Drop drops[] = {
        {"notes.txt", false, false, Str::NotProgramFile},
        {"WALK.MTN", false, true, 0},
        {"PROG.TPG", true, false, 0},
    };
    fs::copy_file(source("data/examples/start_end.tpg"), t.folder.file("PROG.TPG"));
    for (const Drop& d : drops) {
        SCOPED_TRACE(d.name);
        t.prompter.messages.clear();
        const int windows = static_cast<int>(t.frame->mdiArea()->subWindowList().size());
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(t.folder.file(d.name)))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(t.frame.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(t.frame.get(), &drop);
        delete mime;
        EXPECT_EQ(static_cast<int>(t.frame->mdiArea()->subWindowList().size()),
                  windows + (d.opensWindow ? 1 : 0));
        EXPECT_EQ(t.prompter.messages.value(0), d.message ? text(d.message) : QString());
        if (d.motion) {
            EXPECT_EQ(t.frame->lastControllerDialog(), ControllerDialog::RobotMotion);
            EXPECT_TRUE(t.frame->motionPresetFlag());
            EXPECT_EQ(t.frame->motionPresetPath(), QString::fromStdString(t.folder.file(d.name)));
        }
    }
    // The first program window is maximised, the menus grow.
    ASSERT_NE(t.frame->activeFrame(), nullptr);
    EXPECT_TRUE(t.frame->activeFrame()->isMaximized());
    EXPECT_TRUE(t.frame->editMenu()->menuAction()->isVisible());
    EXPECT_EQ(t.settings.recentFiles.value(0), QString::fromStdString(t.folder.file("PROG.TPG")));

    // A file that does not load opens no window (its blank stand-in could be saved over it).
    std::ofstream(t.folder.file("bad.tpg")) << "not a program";
    t.prompter.messages.clear();
    EXPECT_FALSE(t.frame->openFile(QString::fromStdString(t.folder.file("bad.tpg"))));
    EXPECT_EQ(t.prompter.messages.value(0), text(Str::NotProgramFile));
    EXPECT_EQ(t.frame->mdiArea()->subWindowList().size(), 1);

    // File/Open starts at the remembered path and remembers the choice.
    t.settings.documentPath = "/somewhere/old.tpg";
    t.prompter.fileAnswers = {QString::fromStdString(t.folder.file("PROG.TPG"))};
    t.frame->action("open")->trigger();
    EXPECT_EQ(t.prompter.fileStarts.value(0), "/somewhere/old.tpg");
    EXPECT_EQ(t.prompter.fileFilters.value(0), "Tessaban program file(*.tpg)|*.tpg|All files(*.*)|*.*|");
    EXPECT_EQ(t.settings.documentPath, QString::fromStdString(t.folder.file("PROG.TPG")));

    // Change Robot file: the new name from the next start, with 10013.
    t.prompter.messages.clear();
    t.prompter.fileAnswers = {QString::fromStdString(source("data/Robot files/arm.rbt"))};
    t.frame->action("changeRobot")->trigger();
    EXPECT_EQ(t.settings.robotProfile, "arm.rbt");
    EXPECT_EQ(t.prompter.messages.value(0), text(Str::RobotFileChanged));
    EXPECT_EQ(t.devices.entry(1).name, "Sensor module"); // not reloaded while running
}

TEST(TaskloomShell, UnsavedChangesAreNeverLostSilently)
{
    struct Case {
        SaveAnswer answer;
        bool closes;
        bool saved;
    };
    const Case cases[] = {{SaveAnswer::Cancel, false, false},
                          {SaveAnswer::Discard, true, false},
                          {SaveAnswer::Save, true, true}};
    for (const Case& c : cases) {
        Taskloom t;
        CEditorView* v = t.open("start_end.tpg");
        const std::string path = t.folder.file("start_end.tpg");
        doubleClick(v, {Kind::Label, 4, -1});
        type(v, "changed");
        ASSERT_TRUE(v->document().isModified());
        // A second window of the same document closes without a question.
        t.frame->newWindow(v->document());
        t.frame->activeFrame()->close();
        EXPECT_TRUE(t.prompter.questions.isEmpty());
        t.prompter.saveAnswers = {c.answer};
        t.frame->close();
        EXPECT_EQ(t.prompter.questions.value(0), text(Str::SaveChanges).arg("start_end.tpg"));
        EXPECT_EQ(t.frame->mdiArea()->subWindowList().isEmpty(), c.closes);
        behaviour::BehaviorProgram reread;
        ASSERT_TRUE(behaviour::loadProgramFile(path, reread).ok);
        EXPECT_EQ(reread.line(4).label == "changed", c.saved);
    }
}

TEST(TaskloomShell, UndoThroughTheEditMenuGivesBackTheFile)
{
    Taskloom t;
    t.prompter.confirmAnswers = std::deque<bool>(20, true);
    CEditorView* v = t.open("obstacle_avoid.tpg");
    std::ifstream in(t.folder.file("obstacle_avoid.tpg"), std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    makeLoad(v, 20);
    doubleClick(v, cell(20, 2));
    kindMenu(v, "Typing");
    type(v, "77");
    click(v, {Kind::LineNumber, 2, -1});
    t.frame->action("insertLine")->trigger();
    t.frame->action("enableLine")->trigger();
    t.frame->action("copy")->trigger();
    click(v, {Kind::LineNumber, 30, -1});
    t.frame->action("paste")->trigger();
    const auto edited = behaviour::serializeProgram(v->document().program());
    ASSERT_NE(edited, file);
    int steps = 0;
    while (t.frame->action("undo")->isEnabled() && steps < 1000) {
        t.frame->action("undo")->trigger();
        ++steps;
    }
    EXPECT_GT(steps, 5);
    EXPECT_EQ(behaviour::serializeProgram(v->document().program()), file);
    EXPECT_EQ(v->model()->rowCount(), 2 * v->document().program().count());
    while (t.frame->action("redo")->isEnabled())
        t.frame->action("redo")->trigger();
    EXPECT_EQ(behaviour::serializeProgram(v->document().program()), edited);
}

namespace {

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* f = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        pclose(f);
    }
    return out;
}

std::string dump(const std::string& path)
{
    const std::string out = run(std::string(TESSABAN_BIN_DIR) + "/tessaban program dump '" + path + "'");
    return out.substr(out.find(':')); // the first line names the file
}

} // namespace

TEST(TaskloomEndToEnd, EveryExampleEditedThroughTheWidgetsSavesWhatTheCoreWouldMake)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(source("data/examples")))
        if (e.path().extension() == ".tpg")
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 5u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Taskloom t;
        CEditorView* v = t.open(name);
        ASSERT_NE(v, nullptr);
        const int line = 60;
        // LOAD <sensor module: Buzzer index> <- 42, label "tune", through list, dialog and text box.
        makeLoad(v, line);
        onDialog([](SetParameterDialog* d) {
            d->idList()->setCurrentRow(2);      // Sensor module, after the broadcast entry
            d->addressList()->setCurrentRow(3); // Buzzer index
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        doubleClick(v, cell(line, 1));
        kindMenu(v, "Joyntra");
        doubleClick(v, cell(line, 2));
        kindMenu(v, "Typing");
        type(v, "42");
        doubleClick(v, {Kind::Label, line, -1});
        type(v, "tune");
        t.frame->action("checkRule")->trigger();
        ASSERT_EQ(t.prompter.messages.size(), 1);
        t.frame->action("save")->trigger();
        EXPECT_FALSE(v->document().isModified());

        // The same edit through the core.
        behaviour::BehaviorProgram expected;
        ASSERT_TRUE(behaviour::loadProgramFile(source("data/examples/" + name), expected).ok);
        auto& l = expected.line(line);
        expected.setCurrent(line, 0);
        ASSERT_TRUE(behaviour::chooseItem(l, 0, {57, behaviour::Instr::Load}));
        expected.setCurrent(line, 1);
        ASSERT_TRUE(behaviour::setDeviceRegister(l, 1, "Sensor module", 100, 32));
        expected.setCurrent(line, 2);
        ASSERT_TRUE(behaviour::typeText(l, 2, "42"));
        expected.setCurrent(line, 0);
        l.label = "tune";
        const auto build = behaviour::buildProgram(expected);
        EXPECT_EQ(t.prompter.messages.value(0).toStdString(), build.message);
        const std::string expectedPath = t.folder.file("expected.tpg");
        ASSERT_TRUE(behaviour::saveProgramFile(expectedPath, expected).ok);

        const std::string saved = t.folder.file(name);
        EXPECT_EQ(dump(saved), dump(expectedPath));
        behaviour::BehaviorProgram reopened;
        ASSERT_TRUE(behaviour::loadProgramFile(saved, reopened).ok);
        EXPECT_EQ(behaviour::serializeProgram(reopened), behaviour::serializeProgram(expected));
        EXPECT_EQ(reopened.line(line).cells[1].fullText, "Sensor module:Buzzer index");
    }
}

TEST(TaskloomShell, RobotProfileLookupAtStartUp)
{
    ensureApp();
    const QString folder = QString::fromStdString(source("data/Robot files/"));
    struct Case {
        const char* what;
        QString profile;
        QString answer; // the .rbt dialog's answer; empty: Cancel
        bool starts;
        QString profileAfter;
        bool asked;
    };
    const Case cases[] = {
        {"found", "default.rbt", "", true, "default.rbt", false},
        {"missing, Cancel ends start-up", "gone.rbt", "", false, "gone.rbt", true},
        {"missing, another chosen", "gone.rbt", folder + "arm.rbt", true, "arm.rbt", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPrompter prompter;
        if (!c.answer.isEmpty())
            prompter.fileAnswers = {c.answer};
        TaskloomSettings settings;
        settings.robotProfile = c.profile;
        motion::DeviceTable devices;
        EXPECT_EQ(findRobotProfile(settings, devices, prompter, folder), c.starts);
        EXPECT_EQ(settings.robotProfile, c.profileAfter);
        if (c.asked) {
            // The system's reason for the failed open comes first, then 10012.
            EXPECT_EQ(prompter.messages.value(0), folder + c.profile + ": No such file or directory");
            EXPECT_EQ(prompter.messages.value(1), text(Str::NoRobotFile));
            EXPECT_EQ(prompter.fileStarts.value(0), folder + c.profile);
            EXPECT_EQ(prompter.fileFilters.value(0), "Robot file(*.rbt)|*.rbt|");
        } else {
            EXPECT_TRUE(prompter.messages.isEmpty());
        }
        if (c.starts) {
            EXPECT_GT(devices.count(), 1);
        }
    }
}

TEST(TaskloomShell, EveryControllerCommandRoutesToItsDialog)
{
    Taskloom t;
    const std::pair<const char*, ControllerDialog> routes[] = {
        {"downloadPlay", ControllerDialog::DownloadPlay}, {"recover", ControllerDialog::RecoverKz7},
        {"updateKz7", ControllerDialog::UpdateKz7},       {"updateVq", ControllerDialog::UpdateVq},
        {"robotMotion", ControllerDialog::RobotMotion},
    };
    std::vector<std::pair<ControllerDialog, QString>> seen;
    QObject::connect(t.frame.get(), &CMainFrame::controllerDialogRequested,
                     [&](ControllerDialog d, const QString& preset) {
                         seen.push_back({d, preset});
                     });
    for (const auto& [name, dialog] : routes) {
        t.frame->action(name)->trigger();
        ASSERT_FALSE(seen.empty()) << name;
        EXPECT_EQ(seen.back().first, dialog) << name;
        EXPECT_TRUE(seen.back().second.isEmpty()) << name;
    }
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_FALSE(t.frame->motionPresetFlag()); // the menu item presets no file
}

TEST(TaskloomGrid, EditPopupWheelAndErrorMarks)
{
    Taskloom t;
    CEditorView* v = t.open("start_end.tpg");
    QGuiApplication::clipboard()->clear();
    QMenu* edit = t.frame->editMenu();

    // Right button on the line-number column: the Edit menu, greyed without a selection.
    rightClick(v, {Kind::LineNumber, 0, -1});
    EXPECT_TRUE(edit->isVisible());
    for (const char* name : {"cut", "copy", "insertLine", "deleteLine", "paste"})
        EXPECT_FALSE(t.frame->action(name)->isEnabled()) << name;
    edit->hide();
    click(v, {Kind::LineNumber, 0, -1});
    t.frame->action("copy")->trigger();
    rightClick(v, {Kind::LineNumber, 0, -1});
    for (const char* name : {"cut", "copy", "insertLine", "deleteLine", "paste"})
        EXPECT_TRUE(t.frame->action(name)->isEnabled()) << name;
    edit->hide();

    // One line per wheel notch.
    QScrollBar* bar = v->grid()->verticalScrollBar();
    bar->setValue(10);
    const QPoint at = v->grid()->viewport()->rect().center();
    for (int notches : {-1, -3, 2}) {
        const int before = bar->value();
        QWheelEvent wheel(at, v->grid()->viewport()->mapToGlobal(at), {}, QPoint(0, 120 * notches),
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v->grid()->viewport(), &wheel);
        EXPECT_EQ(bar->value(), before - 2 * notches) << notches;
    }
    bar->setValue(0);

    // Check Rule: an IF left unfinished is marked, the cells turn red, and the message shows.
    doubleClick(v, cell(1, 0));
    chooseRow(v, 0); // IF
    t.prompter.messages.clear();
    t.frame->action("checkRule")->trigger();
    ASSERT_EQ(t.prompter.messages.size(), 1);
    EXPECT_TRUE(t.prompter.messages[0].startsWith("There is an incorrect program grammar!"));
    bool marked = false;
    for (int i = 0; i < 10; ++i)
        if (cellOf(v, 1, i).hasError()) {
            marked = true;
            EXPECT_EQ(v->model()->data(v->model()->index(3, 2 * i + 1), Qt::BackgroundRole).value<QColor>(),
                      GridColour::CellError);
        }
    EXPECT_TRUE(marked);
}

TEST(TaskloomGrid, RemoconPadStoresItsBitsInDecimal)
{
    Taskloom t;
    CEditorView* v = t.open("worked_example.tpg");
    // A remote-control constant only comes from a file: make one on the right of the condition.
    ProgramCell& right = v->document().program().cell(1, 3);
    right.code[1] = behaviour::Role::Remocon;
    right.code[2] = behaviour::NotChosen;
    right.value = 4;
    doubleClick(v, cell(1, 3));
    BitPad* pad = v->remoconPad();
    ASSERT_TRUE(pad->isVisible());
    EXPECT_EQ(pad->size(), QSize(150, 90));
    EXPECT_TRUE(pad->boxForBit(4)->isChecked());
    QTest::mouseClick(pad->boxForBit(4), Qt::LeftButton);
    QTest::mouseClick(pad->boxForBit(1), Qt::LeftButton);
    QTest::mouseClick(pad->boxForBit(32), Qt::LeftButton);
    pad->close();
    EXPECT_EQ(cellOf(v, 1, 3).value, 33);
    EXPECT_EQ(cellOf(v, 1, 3).gridText, "33");
    EXPECT_EQ(cellOf(v, 1, 3).fullText, "33");
}

// Exit tears the windows down with the focus wherever the user left it; nothing may run on a
// widget already destroyed. (A double-click marks the program edited: the answer is Discard.)
TEST(TaskloomShell, ExitWithTheFocusInAnyControlClosesCleanly)
{
    struct Case {
        const char* name;
        std::function<QWidget*(Taskloom&, CEditorView*)> focus;
    };
    const Case cases[] = {
        {"grid",
         [](Taskloom&, CEditorView* v) {
             v->grid()->setFocus();
             return static_cast<QWidget*>(v->grid());
         }},
        {"text box",
         [](Taskloom&, CEditorView* v) {
             doubleClick(v, {Kind::Label, 4, -1});
             return static_cast<QWidget*>(v->textBox());
         }},
        {"choice list",
         [](Taskloom&, CEditorView* v) {
             doubleClick(v, cell(8, 0));
             return static_cast<QWidget*>(v->choiceList());
         }},
        {"button pad",
         [](Taskloom&, CEditorView* v) {
             doubleClick(v, cell(8, 3));
             v->buttonPad()->boxForBit(8)->setFocus();
             return static_cast<QWidget*>(v->buttonPad()->boxForBit(8));
         }},
        {"no program open",
         [](Taskloom& t, CEditorView*) {
             t.frame->closeAll();
             return static_cast<QWidget*>(nullptr); // the focus is wherever the window leaves it
         }},
    };
    auto readFile = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const Case& c : cases)
        for (const bool byMenu : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (byMenu ? ", Exit" : ", window close"));
            Taskloom t;
            CEditorView* v = t.open("button_counter.tpg");
            const std::string before = readFile(t.folder.file("button_counter.tpg"));
            t.prompter.saveAnswers = {SaveAnswer::Discard};
            QWidget* target = c.focus(t, v);
            if (target) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == target; }, 2000));
            }
            if (byMenu) {
                t.frame->action("exit")->trigger();
            } else {
                QCloseEvent close;
                QApplication::sendEvent(t.frame->windowHandle(), &close);
            }
            EXPECT_FALSE(t.frame->isVisible());
            t.frame.reset();
            EXPECT_EQ(readFile(t.folder.file("button_counter.tpg")), before);
        }
}

namespace {

// Every text in the program's cells, labels and comments, to find where a typed text landed.
bool programHolds(const behaviour::BehaviorProgram& p, const std::string& s)
{
    for (int i = 0; i < p.count(); ++i) {
        const auto& line = p.line(i);
        if (line.label == s || line.comment == s)
            return true;
        for (const auto& c : line.cells)
            if (c.text == s || c.fullText == s)
                return true;
    }
    return false;
}

void clickMenuItem(QMenu* menu, QAction* item)
{
    menu->popup(QPoint(20, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

} // namespace

TEST(TaskloomGrid, LineCommandsScrollAndWindowChangesCloseAnOpenPopup)
{
    struct Case {
        const char* what;
        std::function<void(Taskloom&, CEditorView*)> act;
    };
    const Case cases[] = {
        {"Ctrl+I typed in the box",
         [](Taskloom&, CEditorView* v) { QTest::keyClick(v->textBox(), Qt::Key_I, Qt::ControlModifier); }},
        {"Edit / Insert Line with the mouse",
         [](Taskloom& t, CEditorView*) {
             clickMenuItem(t.frame->editMenu(), t.frame->action("insertLine"));
         }},
        {"Edit / Delete Line with the mouse",
         [](Taskloom& t, CEditorView*) {
             clickMenuItem(t.frame->editMenu(), t.frame->action("deleteLine"));
         }},
        {"Ctrl+E typed in the box",
         [](Taskloom&, CEditorView* v) { QTest::keyClick(v->textBox(), Qt::Key_E, Qt::ControlModifier); }},
        {"a wheel notch",
         [](Taskloom&, CEditorView* v) {
             const QPoint at = v->grid()->viewport()->rect().center();
             QWheelEvent wheel(at, v->grid()->viewport()->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton,
                               {}, Qt::NoScrollPhase, false);
             QApplication::sendEvent(v->grid()->viewport(), &wheel);
         }},
        {"a second window", [](Taskloom& t, CEditorView*) { t.frame->action("newWindow")->trigger(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Taskloom t;
        CEditorView* v = t.open("button_counter.tpg");
        auto& p = v->document().program();
        // Line 6 selected, the COMPUTE of line 7 being typed into.
        click(v, {Kind::LineNumber, 5, -1});
        ASSERT_TRUE(cellOf(v, 6, 0).isInstruction(behaviour::Instr::Compute));
        rightClick(v, cell(6, 1));
        kindMenu(v, "Typing");
        ASSERT_TRUE(v->textBox()->isVisible());
        QTest::keyClicks(v->textBox(), "zzz");
        c.act(t, v);
        EXPECT_FALSE(v->textBox()->isVisible());
        // Enter on a box left open would store the text into whatever line now lies under it.
        if (v->textBox()->isVisible())
            QTest::keyClick(v->textBox(), Qt::Key_Return);
        EXPECT_FALSE(programHolds(p, "zzz"));
    }

    // The choice list and the button pad close on a scroll too.
    Taskloom t;
    CEditorView* v = t.open("button_counter.tpg");
    for (const GridTarget& target : {cell(6, 0), cell(8, 3)}) {
        doubleClick(v, target);
        EXPECT_TRUE(v->choiceList()->isVisible() || v->buttonPad()->isVisible());
        v->grid()->verticalScrollBar()->setValue(v->grid()->verticalScrollBar()->value() + 2);
        EXPECT_FALSE(v->choiceList()->isVisible());
        EXPECT_FALSE(v->buttonPad()->isVisible());
        v->grid()->verticalScrollBar()->setValue(0);
    }
}

TEST(TaskloomGrid, OnlyAChangeMarksTheProgramAndListsOpenOnTheCellsValue)
{
    Taskloom t;
    CEditorView* v = t.open("worked_example.tpg");
    CEditorDoc& doc = v->document();
    auto unmarked = [&] { return !doc.isModified() && !t.frame->activeFrame()->isWindowModified(); };
    auto& p = doc.program();

    // The comparison list opens on the cell's ">", the instruction list on its IF.
    struct Opened {
        GridTarget target;
        const char* current;
    };
    for (const Opened& o : {Opened{cell(1, 2), ">"}, Opened{cell(1, 0), "IF"}}) {
        doubleClick(v, o.target);
        ASSERT_TRUE(v->choiceList()->isVisible());
        EXPECT_EQ(v->choiceList()->currentItem()->text(), o.current);
        // Enter takes the value the cell already holds: nothing changes.
        QTest::keyClick(v->choiceList(), Qt::Key_Return);
        EXPECT_TRUE(unmarked()) << o.current;
    }
    // Editors left without a change: Escape, Enter on the same text, a separator.
    doubleClick(v, {Kind::Label, 2, -1});
    QTest::keyClick(v->textBox(), Qt::Key_Escape);
    doubleClick(v, {Kind::Comment, 2, -1});
    QTest::keyClick(v->textBox(), Qt::Key_Return);
    doubleClick(v, {Kind::Separator, 1, 0});
    EXPECT_TRUE(unmarked());

    // Deleting a line that was edited asks 10007; Cancel changes nothing and marks nothing.
    const auto before = behaviour::serializeProgram(p);
    click(v, {Kind::LineNumber, 1, -1});
    t.frame->action("deleteLine")->trigger();
    EXPECT_EQ(t.prompter.questions.value(0), text(behaviour::Msg::DeleteEdited));
    EXPECT_EQ(behaviour::serializeProgram(p), before);
    EXPECT_TRUE(unmarked());

    // A change does mark it.
    doubleClick(v, {Kind::Label, 2, -1});
    type(v, "later");
    EXPECT_TRUE(doc.isModified());
    EXPECT_TRUE(t.frame->activeFrame()->isWindowModified());
}

TEST(TaskloomGrid, TextsOutsideTheFilesCodePageAreRefusedNotChanged)
{
    Taskloom t;
    CEditorView* v = t.open("worked_example.tpg");
    auto& p = v->document().program();
    struct Case {
        GridTarget target;
        const char* typed;
        const char* stored; // nullptr: refused, the box stays open with the text
        const char* refused;
    };
    const Case cases[] = {
        {{Kind::Label, 2, -1}, "Größe Ω→日本", nullptr, "Ω→日本"},
        {{Kind::Comment, 2, -1}, "α", nullptr, "α"},
        {{Kind::Label, 2, -1},
         "Größe €",
         "Gr\xf6\xdf"
         "e \x80",
         ""},
        {cell(1, 3), "β", nullptr, "β"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        t.prompter.messages.clear();
        const behaviour::ProgramLine line = p.line(c.target.line);
        doubleClick(v, c.target);
        if (v->operandKindMenu()->isVisible())
            kindMenu(v, "Typing");
        // Typed by an input method: the key simulation knows only ASCII keys.
        ASSERT_TRUE(v->textBox()->isVisible());
        v->textBox()->setText(QString::fromUtf8(c.typed));
        QTest::keyClick(v->textBox(), Qt::Key_Return);
        if (c.stored) {
            EXPECT_TRUE(t.prompter.messages.isEmpty());
            EXPECT_EQ(p.line(c.target.line).label, c.stored);
            // Shown as typed.
            EXPECT_TRUE(v->model()
                            ->data(v->model()->index(2 * c.target.line, LabelFirstColumn), Qt::DisplayRole)
                            .toString()
                            .endsWith(QString::fromUtf8(c.typed)));
            continue;
        }
        EXPECT_EQ(t.prompter.messages.value(0), text(Str::NotInCodePage).arg(QString::fromUtf8(c.refused)));
        EXPECT_TRUE(v->textBox()->isVisible());
        EXPECT_EQ(v->textBox()->text(), QString::fromUtf8(c.typed));
        EXPECT_EQ(p.line(c.target.line).label, line.label);
        EXPECT_EQ(p.line(c.target.line).comment, line.comment);
        EXPECT_EQ(p.line(c.target.line).cells, line.cells);
        QTest::keyClick(v->textBox(), Qt::Key_Escape);
    }
}

TEST(TaskloomShell, SaveAsKeepsFilesOpenableAndRecentFilesThatFailLeaveTheList)
{
    struct Case {
        const char* typed;
        std::deque<bool> answers; // to "add .tpg?" (and "replace?")
        const char* saved;        // nullptr: nothing saved
    };
    const Case cases[] = {
        {"backup", {}, "backup.tpg"},          {"backup.prg", {true}, "backup.prg.tpg"},
        {"backup.prg", {false}, "backup.prg"}, {"BACKUP.TPG", {}, "BACKUP.TPG"},
        {"start_end", {false}, nullptr}, // start_end.tpg exists: not replaced
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Taskloom t;
        CEditorView* v = t.open("start_end.tpg");
        const QString typed = QString::fromStdString(t.folder.file(c.typed));
        t.prompter.fileAnswers = {typed};
        t.prompter.confirmAnswers = c.answers;
        EXPECT_EQ(t.frame->saveAs(), c.saved != nullptr);
        if (!c.saved) {
            EXPECT_EQ(t.prompter.questions.value(0), text(Str::ReplaceFile).arg("start_end.tpg"));
            continue;
        }
        const QString saved = QString::fromStdString(t.folder.file(c.saved));
        EXPECT_EQ(v->document().path(), saved);
        EXPECT_TRUE(fs::exists(saved.toStdString()));
        EXPECT_EQ(t.settings.recentFiles.value(0), saved);
    }

    // A recent file that no longer opens leaves the list; the others stay.
    Taskloom t;
    t.open("start_end.tpg");
    t.frame->activeFrame()->close();
    ASSERT_TRUE(t.frame->mdiArea()->subWindowList().isEmpty());
    const QString kept = t.settings.recentFiles.value(0);
    t.settings.recentFiles.prepend(QString::fromStdString(t.folder.file("gone.tpg")));
    t.frame->updateActions();
    t.frame->openFile(kept); // refreshes the menu with both
    t.frame->activeFrame()->close();
    const QString gone = QString::fromStdString(t.folder.file("gone.tpg"));
    ASSERT_TRUE(t.settings.recentFiles.contains(gone));
    t.frame->action(QString("recent%1").arg(t.settings.recentFiles.indexOf(gone) + 1))->trigger();
    EXPECT_FALSE(t.settings.recentFiles.contains(gone));
    EXPECT_TRUE(t.settings.recentFiles.contains(kept));
    EXPECT_TRUE(t.frame->mdiArea()->subWindowList().isEmpty());
}

TEST(TaskloomShell, CaptionWindowsAndToolbarStayPutAndWindowsAreToldApart)
{
    Taskloom t;
    // Without a program window Save and Check Rule stay in place, greyed.
    for (const char* name : {"save", "checkRule"}) {
        EXPECT_TRUE(t.frame->action(name)->isVisible()) << name;
        EXPECT_FALSE(t.frame->action(name)->isEnabled()) << name;
    }
    CEditorView* v = t.open("button_counter.tpg");
    doubleClick(v, {Kind::Label, 2, -1});
    type(v, "changed");
    ASSERT_TRUE(t.frame->activeFrame()->isMaximized());
    EXPECT_EQ(t.frame->windowTitle(), text(Str::Title));
    EXPECT_EQ(t.frame->findChild<QLabel*>("programPane")->text(), "button_counter.tpg*");

    // Two windows of one program: ":1" and ":2", both in the Window menu; the first again
    // when the second closes.
    t.frame->action("newWindow")->trigger();
    t.frame->newDocument();
    QStringList titles;
    for (QMdiSubWindow* w : t.frame->mdiArea()->subWindowList(QMdiArea::CreationOrder))
        titles << w->windowTitle();
    EXPECT_EQ(titles, QStringList({"button_counter.tpg:1[*]", "button_counter.tpg:2[*]", "Untitled[*]"}));
    EXPECT_EQ(t.frame->windowTitle(), text(Str::Title));
    for (QAction* a : t.frame->menuBar()->actions())
        if (a->menu() && a->text() == "&Window") {
            emit a->menu()->aboutToShow();
            QStringList items;
            for (QAction* i : a->menu()->actions())
                if (i->isCheckable())
                    items << i->text();
            EXPECT_EQ(items,
                      QStringList({"&1 button_counter.tpg:1*", "&2 button_counter.tpg:2*", "&3 Untitled"}));
        }

    // Cascade: every window a usable size, whole inside the area.
    t.frame->action("cascade")->trigger();
    const QRect area = t.frame->mdiArea()->viewport()->rect();
    for (QMdiSubWindow* w : t.frame->mdiArea()->subWindowList()) {
        EXPECT_FALSE(w->isMaximized());
        EXPECT_TRUE(area.contains(w->geometry())) << w->windowTitle().toStdString();
        EXPECT_GE(w->width(), std::min(480, area.width()));
        EXPECT_GE(w->height(), std::min(320, area.height()));
    }
    t.frame->mdiArea()->subWindowList(QMdiArea::CreationOrder).value(1)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // as the event loop would
    EXPECT_EQ(t.frame->mdiArea()->subWindowList(QMdiArea::CreationOrder).value(0)->windowTitle(),
              "button_counter.tpg[*]");
    // A new window opens whole inside the area too.
    CEditorFrame* added = t.frame->newDocument();
    EXPECT_TRUE(area.contains(added->geometry()));

    // "Ready" comes back once a menu item's hint is gone.
    t.frame->statusBar()->showMessage("a hint");
    t.frame->statusBar()->clearMessage();
    EXPECT_EQ(t.frame->statusBar()->currentMessage(), "Ready");
}

namespace {

std::string errorsMessageFor(int n)
{
    return "There is an incorrect program grammar!\nThe total number of errors: " + std::to_string(n);
}

} // namespace

TEST(TaskloomShell, CheckRuleListsEachErrorWithItsReasonAndF8StepsThroughThem)
{
    Taskloom t;
    CEditorView* v = t.open("start_end.tpg");
    doubleClick(v, cell(1, 0));
    chooseRow(v, 0); // IF, left unfinished
    t.frame->action("checkRule")->trigger();
    // The count message stays; the dock names line, cell and reason.
    EXPECT_EQ(t.prompter.messages.value(0), QString::fromStdString(errorsMessageFor(4)));
    PlaceList* list = t.frame->placeList();
    ASSERT_TRUE(list->isVisible());
    ASSERT_EQ(list->topLevelItemCount(), 4);
    const QStringList first = {list->topLevelItem(0)->text(0), list->topLevelItem(0)->text(1),
                               list->topLevelItem(0)->text(2)};
    EXPECT_EQ(first, QStringList({"2", "2", behaviour::problemText(behaviour::Problem::OperandNotChosen)}));
    EXPECT_EQ(list->topLevelItem(3)->text(2), behaviour::problemText(behaviour::Problem::ConnectiveMissing));

    // F8 goes to the first error, again to the second; Shift+F8 back; a click on a row goes there.
    struct Step {
        std::function<void()> act;
        GridTarget at;
    };
    const Step steps[] = {
        {[&] { QTest::keyClick(v->grid(), Qt::Key_F8); }, cell(1, 1)},
        {[&] { QTest::keyClick(v->grid(), Qt::Key_F8); }, cell(1, 2)},
        {[&] { QTest::keyClick(v->grid(), Qt::Key_F8, Qt::ShiftModifier); }, cell(1, 1)},
        {[&] { QTest::keyClick(v->grid(), Qt::Key_F8, Qt::ShiftModifier); }, cell(1, 4)}, // round the start
        {[&] {
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                               list->visualItemRect(list->topLevelItem(2)).center());
         },
         cell(1, 3)},
    };
    for (const Step& s : steps) {
        s.act();
        const GridTarget at = v->grid()->currentTarget();
        EXPECT_EQ(std::tie(at.kind, at.line, at.index), std::tie(s.at.kind, s.at.line, s.at.index));
    }

    // Mended and checked again: the list empties and the dock goes.
    t.frame->action("undo")->trigger();
    t.frame->action("checkRule")->trigger();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(list->isVisible());
}

TEST(TaskloomGrid, KeyboardSelectsMovesCutsAndPastesLines)
{
    Taskloom t;
    CEditorView* v = t.open("button_counter.tpg");
    auto& p = v->document().program();
    const behaviour::ProgramLine second = p.line(1), third = p.line(2), fourth = p.line(3);
    auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(v->grid(), k, m); };
    auto selection = [&] { return std::pair(p.selFirst(), p.selLast()); };

    click(v, cell(1, 2)); // the highlight on line 2, nothing selected
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selection(), std::pair(1, 1));
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selection(), std::pair(1, 2));
    key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(selection(), std::pair(1, 1));
    EXPECT_EQ(v->model()->data(v->model()->index(2, 0), Qt::BackgroundRole).value<QColor>(),
              GridColour::LineSelected);

    // Alt+Down twice: line 2 goes below lines 3 and 4, the selection with it; Alt+Up once back.
    key(Qt::Key_Down, Qt::AltModifier);
    key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(p.line(1).cells, third.cells);
    EXPECT_EQ(p.line(2).cells, fourth.cells);
    EXPECT_EQ(p.line(3).cells, second.cells);
    EXPECT_EQ(selection(), std::pair(3, 3));
    key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(p.line(2).cells, second.cells);
    EXPECT_TRUE(v->document().isModified());

    // Ctrl+X cuts it; on blank line 31, Shift+Down and Ctrl+V put it there.
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(p.line(2).cells, fourth.cells);
    click(v, cell(30, 0));
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(p.line(30).cells, second.cells);

    // Delete and Ctrl+E act on the selection too (the pasted line stays selected).
    ASSERT_EQ(selection(), std::pair(30, 30));
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(p.line(30).disabled());
    t.prompter.confirmAnswers = {true};
    key(Qt::Key_Delete);
    EXPECT_NE(p.line(30).cells, second.cells);
}

TEST(TaskloomShell, FindFindUsesAndGoToLine)
{
    Taskloom t;
    CEditorView* v = t.open("worked_example.tpg");
    auto* findText = t.frame->findBar()->findChild<QLineEdit*>("findText");
    auto* lineBox = t.frame->findBar()->findChild<QSpinBox*>("lineBox");
    PlaceList* list = t.frame->placeList();
    auto rows = [&] {
        QStringList r;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            r << list->topLevelItem(i)->text(0) + "/" + list->topLevelItem(i)->text(1) + " " +
                     list->topLevelItem(i)->text(2);
        return r;
    };

    // Ctrl+F, a text in any letter case, Enter: the AUX LED line is listed and shown.
    QTest::keyClick(v->grid(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(t.frame->findBar()->isVisible());
    ASSERT_TRUE(findText->hasFocus());
    QTest::keyClicks(findText, "aux led");
    QTest::keyClick(findText, Qt::Key_Return);
    EXPECT_EQ(rows(), QStringList({"2/7 KZ-7 AUX LED"}));
    EXPECT_EQ(v->grid()->currentTarget(), cell(1, 6));
    // Nothing found: an empty list and a word in the status bar.
    findText->setText("zebra");
    QTest::keyClick(findText, Qt::Key_Return);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(t.frame->statusBar()->currentMessage().contains("zebra"));

    // Find Uses on a name lists every line that uses it, and F8 walks them.
    CEditorView* w = t.open("button_counter.tpg");
    w->goTo(cell(1, 1)); // LOAD count <- 0
    t.frame->action("findUses")->trigger();
    EXPECT_EQ(rows(), QStringList({"2/2 count", "7/2 count", "7/3 count", "10/2 count", "14/3 count"}));
    QTest::keyClick(w->grid(), Qt::Key_F8);
    QTest::keyClick(w->grid(), Qt::Key_F8);
    EXPECT_EQ(w->grid()->currentTarget(), cell(6, 1));
    // ... and on a label, its line and every JUMP and CALL to it.
    w->goTo({Kind::Label, 8, -1});
    t.frame->action("findUses")->trigger();
    EXPECT_EQ(rows(), QStringList({"4/2 wait", "9/Label wait", "13/2 wait"}));

    // Ctrl+G: a line number and Enter.
    QTest::keyClick(w->grid(), Qt::Key_G, Qt::ControlModifier);
    ASSERT_TRUE(lineBox->hasFocus());
    lineBox->selectAll();
    QTest::keyClicks(lineBox, "12");
    QTest::keyClick(lineBox, Qt::Key_Return);
    EXPECT_EQ(w->grid()->currentTarget(), (GridTarget{Kind::LineNumber, 11, -1}));
    EXPECT_TRUE(w->grid()->hasFocus());
}

TEST(TaskloomShell, ZoomScalesEveryGridAndIsRemembered)
{
    Taskloom t;
    CEditorView* v = t.open("button_counter.tpg");
    QTest::keyClick(v->grid(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(v->grid(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(t.settings.zoom, 120);
    EXPECT_EQ(v->grid()->columnWidth(1), 108);
    EXPECT_EQ(v->grid()->rowHeight(3), 48);
    // A new window takes the scale; a text box still starts 46 (scaled) into the label.
    CEditorView* w = t.frame->newWindow(v->document())->view();
    EXPECT_EQ(w->grid()->columnWidth(1), 108);
    doubleClick(w, {Kind::Label, 2, -1});
    QRect area = w->grid()->targetRect({Kind::Label, 2, -1});
    area.moveTopLeft(w->grid()->viewport()->mapTo(w, area.topLeft()));
    EXPECT_EQ(w->textBox()->geometry().left(), area.left() + 55);
    QTest::keyClick(w->textBox(), Qt::Key_Escape);
    // Bounded at both ends.
    for (int i = 0; i < 20; ++i)
        t.frame->action("zoomOut")->trigger();
    EXPECT_EQ(t.settings.zoom, MinZoom);
    EXPECT_EQ(w->grid()->columnWidth(1), 45);

    // Kept for the next start; Ctrl+0 gives the normal size back.
    testsupport::TempFolder folder("taskloom-zoom");
    QSettings store(QString::fromStdString(folder.file("z.conf")), QSettings::IniFormat);
    t.settings.save(store);
    TaskloomSettings back;
    back.load(store, 1280, 1024);
    EXPECT_EQ(back.zoom, MinZoom);
    QTest::keyClick(w->grid(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(v->grid()->columnWidth(1), 90);
}

TEST(TaskloomShell, ExportedPdfAndPngHaveThePagesTheProgramNeeds)
{
    Taskloom t;
    CEditorView* v = t.open("start_end.tpg");
    // Lines up to the last one holding anything are printed: 60 of them, 25 to an A4 page.
    doubleClick(v, {Kind::Comment, 59, -1});
    type(v, "the last line");
    struct Case {
        const char* kind;
        const char* name;
        std::vector<const char*> files;
    };
    const Case cases[] = {
        {"pdf", "handout.pdf", {"handout.pdf"}},
        {"png", "handout", {"handout.png", "handout-2.png", "handout-3.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        t.prompter.fileAnswers = {QString::fromStdString(t.folder.file(c.name))};
        ASSERT_TRUE(t.frame->exportProgram(c.kind));
        EXPECT_EQ(t.prompter.fileFilters.last(),
                  text(std::string(c.kind) == "pdf" ? Str::PdfFilter : Str::PngFilter));
        for (const char* f : c.files)
            EXPECT_TRUE(fs::exists(t.folder.file(f))) << f;
        EXPECT_FALSE(fs::exists(t.folder.file(std::string(c.name) + "-4.png")));
    }
    std::ifstream in(t.folder.file("handout.pdf"), std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(in)), {});
    int pages = 0;
    for (size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
        pages += pdf.compare(at, 12, "/Type /Pages") != 0;
    EXPECT_EQ(pages, 3);
    // The last page holds lines 51..60: the comment's grey line area is drawn on it.
    QImage last(QString::fromStdString(t.folder.file("handout-3.png")));
    ASSERT_FALSE(last.isNull());
    int grey = 0;
    for (int y = 0; y < last.height(); y += 4)
        grey += last.pixelColor(last.width() / 2, y) == GridColour::LinePlain;
    EXPECT_GT(grey, 10);
    // A dismissed dialog writes nothing.
    t.prompter.fileAnswers.clear();
    EXPECT_FALSE(t.frame->exportProgram("pdf"));
}
