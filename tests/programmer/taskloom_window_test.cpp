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
#include "programmer/ProgrammerTexts.h"
#include "programmer/SetParameterDialog.h"
#include "programmer/StartUp.h"
#include "programmer/TaskloomSettings.h"

#include "behaviour/CellEditing.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"
#include "motion/DeviceTable.h"
#include "platform/Version.h"
#include "support/TestApp.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
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

    // A double-click on a separator changes nothing but marks the document modified.
    EXPECT_FALSE(v->document().isModified());
    doubleClick(v, {Kind::Separator, 5, 0});
    EXPECT_TRUE(v->document().isModified());

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
            EXPECT_EQ(prompter.messages.value(0), text(Str::NoRobotFile));
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
