// The shared message boxes and the programs' command line: a box built from a look is the box
// QMessageBox's own static functions build (icon, buttons, default, answer), the Save box maps
// every button to its answer, and the command line gives each program's options, failures and
// --help/--version as the hand-written readers did.

#include "guikit/CommandLine.h"
#include "guikit/QtPrompter.h"
#include "guikit/Screenshot.h"
#include "platform/Version.h"

#include "support/TempFolder.h"
#include "support/TestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using Outcome = guikit::CommandLineResult::Outcome;

// What a user sees of a box: its caption, text, icon, buttons in order and the default one.
struct Seen {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool operator==(const Seen&) const = default;
};

// Runs ask() while a timer looks at the box it opens and closes it with press (the Escape key
// when NoButton); returns what was seen.
template <typename Ask> Seen answerBox(QMessageBox::StandardButton press, Ask ask)
{
    Seen seen;
    bool found = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        found = true;
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            seen.buttons.push_back(box->standardButton(b));
        std::sort(seen.buttons.begin(), seen.buttons.end());
        if (box->defaultButton())
            seen.defaultButton = box->standardButton(box->defaultButton());
        if (press == QMessageBox::NoButton) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(box, &escape);
        } else
            box->button(press)->click();
    });
    ask();
    EXPECT_TRUE(found) << "no message box was shown";
    return seen;
}

TEST(SharedBoxes, LookAndAnswerAsQtsOwnBoxes)
{
    testsupport::testApp();
    using B = QMessageBox;
    struct Case {
        const char* name;
        guikit::BoxLook look;
        std::function<B::StandardButton(QWidget*, const QString&, const QString&)> qtBox;
        B::StandardButton press;
    };
    const std::vector<Case> cases = {
        {"information",
         {B::Information, B::Ok},
         [](QWidget* p, const QString& c, const QString& t) { return B::information(p, c, t); },
         B::Ok},
        {"warning",
         {B::Warning, B::Ok},
         [](QWidget* p, const QString& c, const QString& t) { return B::warning(p, c, t); },
         B::Ok},
        {"ok/cancel",
         {B::Question, B::Ok | B::Cancel},
         [](QWidget* p, const QString& c, const QString& t) {
             return B::question(p, c, t, B::Ok | B::Cancel);
         },
         B::Cancel},
        {"ok/cancel defaulting to cancel",
         {B::Question, B::Ok | B::Cancel, B::Cancel},
         [](QWidget* p, const QString& c, const QString& t) {
             return B::question(p, c, t, B::Ok | B::Cancel, B::Cancel);
         },
         B::Ok},
        {"yes/no defaulting to no",
         {B::Question, B::Yes | B::No, B::No},
         [](QWidget* p, const QString& c, const QString& t) {
             return B::question(p, c, t, B::Yes | B::No, B::No);
         },
         B::Yes},
        {"yes/no/cancel, escaped",
         {B::Question, B::Yes | B::No | B::Cancel},
         [](QWidget* p, const QString& c, const QString& t) {
             return B::question(p, c, t, B::Yes | B::No | B::Cancel);
         },
         B::NoButton},
        {"save/discard/cancel",
         {B::Warning, B::Save | B::Discard | B::Cancel, B::Save},
         [](QWidget* p, const QString& c, const QString& t) {
             return B::warning(p, c, t, B::Save | B::Discard | B::Cancel, B::Save);
         },
         B::Discard},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        B::StandardButton ours = B::NoButton, theirs = B::NoButton;
        const Seen seenOurs =
            answerBox(c.press, [&] { ours = guikit::showBox(nullptr, "Caption", "Text", c.look); });
        const Seen seenTheirs = answerBox(c.press, [&] { theirs = c.qtBox(nullptr, "Caption", "Text"); });
        EXPECT_EQ(seenOurs, seenTheirs);
        EXPECT_EQ(seenOurs.caption, "Caption");
        EXPECT_EQ(ours, theirs);
        EXPECT_NE(ours, B::NoButton);
    }
}

TEST(SharedBoxes, EverySaveButtonGivesItsAnswer)
{
    testsupport::testApp();
    using B = QMessageBox;
    const guikit::BoxLook yesNo{B::Question, B::Yes | B::No | B::Cancel};
    const guikit::BoxLook saveDiscard{B::Warning, B::Save | B::Discard | B::Cancel, B::Save};
    const struct {
        const guikit::BoxLook& look;
        B::StandardButton press;
        guikit::SaveAnswer answer;
    } cases[] = {
        {yesNo, B::Yes, guikit::SaveAnswer::Save},
        {yesNo, B::No, guikit::SaveAnswer::Discard},
        {yesNo, B::Cancel, guikit::SaveAnswer::Cancel},
        {yesNo, B::NoButton, guikit::SaveAnswer::Cancel},
        {saveDiscard, B::Save, guikit::SaveAnswer::Save},
        {saveDiscard, B::Discard, guikit::SaveAnswer::Discard},
        {saveDiscard, B::Cancel, guikit::SaveAnswer::Cancel},
        {saveDiscard, B::NoButton, guikit::SaveAnswer::Cancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.press));
        guikit::SaveAnswer answer{};
        answerBox(c.press, [&] { answer = guikit::askSaveChanges(nullptr, "Title", "Save?", c.look); });
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(SharedBoxes, PrompterCaptionIsItsOwnOrItsWindowsTitle)
{
    testsupport::testApp();
    QWidget window;
    window.setWindowTitle("KZ-7 Simulator on COM41");
    guikit::QtPrompter fixed("Taskloom (Tessaban)", {}, &window), following({}, {}, &window);
    EXPECT_EQ(fixed.caption(), "Taskloom (Tessaban)");
    EXPECT_EQ(following.caption(), "KZ-7 Simulator on COM41");
    const Seen seen = answerBox(QMessageBox::Ok, [&] { EXPECT_TRUE(following.confirm("Erase?")); });
    EXPECT_EQ(seen.caption, "KZ-7 Simulator on COM41");
    EXPECT_EQ(seen.text, "Erase?");
    EXPECT_EQ(guikit::dialogFilter("Robot profiles (*.rbt);;All files (*)"),
              "Robot profiles (*.rbt);;All files (*)");
}

struct ReadLine {
    std::vector<const char*> args;
    Outcome outcome;
    QString option;         // the failing option, as typed
    QString port;           // --port's value when read
    QStringList positional; // the words that are not options
    std::vector<const char*> argv() const
    {
        std::vector<const char*> v = {"program"};
        v.insert(v.end(), args.begin(), args.end());
        return v;
    }
};

TEST(CommandLine, OptionsFailuresHelpAndVersion)
{
    const std::vector<ReadLine> cases = {
        {{}, Outcome::Run, {}, {}, {}},
        {{"--port", "COM3", "--no-connect"}, Outcome::Run, {}, "COM3", {}},
        {{"--port=COM4"}, Outcome::Run, {}, "COM4", {}},
        {{"--port", "COM3", "--port", "COM5"}, Outcome::Run, {}, "COM5", {}},
        {{"worked.tpg", "--port", "COM2", "other.tpg"},
         Outcome::Run,
         {},
         "COM2",
         {"worked.tpg", "other.tpg"}},
        {{"--", "-odd.tpg"}, Outcome::Run, {}, {}, {"-odd.tpg"}},
        {{"--help"}, Outcome::Help, {}, {}, {}},
        {{"-h"}, Outcome::Help, {}, {}, {}},
        {{"--port", "COM3", "--version"}, Outcome::Version, {}, "COM3", {}},
        {{"--port"}, Outcome::MissingValue, "--port", {}, {}},
        {{"--no-connect", "--port"}, Outcome::MissingValue, "--port", {}, {}},
        {{"--colour", "red"}, Outcome::UnknownOption, "--colour", {}, {}},
        {{"-colour"}, Outcome::UnknownOption, "-colour", {}, {}},
        {{"--version=2"}, Outcome::UnknownOption, "--version=2", {}, {}},
    };
    for (const ReadLine& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : std::string(c.args.front()));
        QCommandLineParser parser;
        const QCommandLineOption port("port", "", "COMn"), noConnect("no-connect");
        parser.addOptions({port, noConnect});
        std::vector<const char*> argv = c.argv();
        const guikit::CommandLineResult r =
            guikit::parseCommandLine(parser, int(argv.size()), const_cast<char**>(argv.data()));
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.option.toStdString(), c.option.toStdString());
        if (c.outcome == Outcome::Run || c.outcome == Outcome::Version) {
            EXPECT_EQ(parser.value(port).toStdString(), c.port.toStdString());
            EXPECT_EQ(parser.positionalArguments(), c.positional);
        }
    }
}

TEST(Screenshot, SavesTheWindowAndSaysWhenItCannot)
{
    testsupport::testApp();
    testsupport::TempFolder folder("guikit-screenshot");
    QWidget window;
    window.resize(240, 160);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(10, 200, 30));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.show();
    const QString path = QString::fromStdString(folder.file("shot.png"));
    ASSERT_TRUE(guikit::saveScreenshot(window, path, true));
    const QImage saved(path);
    ASSERT_EQ(saved.size(), window.grab().size());
    EXPECT_EQ(saved.pixelColor(5, 5), QColor(10, 200, 30));
    EXPECT_FALSE(
        guikit::saveScreenshot(window, QString::fromStdString(folder.file("missing/shot.png")), false));
}

// What each outcome prints and the exit status, as the programs have always answered.
TEST(CommandLine, AnswersInTheProgramsWords)
{
    const guikit::CommandLineTexts wordy{"taskloom", "usage: taskloom [FILE]\n", true};
    const guikit::CommandLineTexts brief{"wirescope", "usage: wirescope [--port COMn]\n", false};
    const struct {
        guikit::CommandLineResult result;
        const guikit::CommandLineTexts& texts;
        std::optional<int> status;
        std::string out, err;
    } cases[] = {
        {{Outcome::Run, {}}, brief, std::nullopt, "", ""},
        {{Outcome::Help, {}}, wordy, 0, "usage: taskloom [FILE]\n", ""},
        {{Outcome::MissingValue, "--settings"}, wordy, 2, "", "taskloom: --settings needs a value\n"},
        {{Outcome::UnknownOption, "--colour"},
         wordy,
         2,
         "",
         "taskloom: unknown option --colour\nusage: taskloom [FILE]\n"},
        {{Outcome::UnknownOption, "stray"}, brief, 2, "", "wirescope: unknown option stray (try --help)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const std::optional<int> status = guikit::answerCommandLine(c.result, c.texts);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err, c.err);
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(guikit::answerCommandLine({Outcome::Version, {}}, brief), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), platform::versionText("wirescope"));
}

} // namespace
