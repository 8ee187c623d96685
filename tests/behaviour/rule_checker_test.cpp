// The rule check: every rule, the tables it builds, and the message the user sees.

#include "ExamplePrograms.h"
#include "FramedProgram.h"

#include "behaviour/ProgramBuilder.h"
#include "behaviour/ProgramMessages.h"
#include "behaviour/RuleChecker.h"

#include <gtest/gtest.h>

using namespace behaviour;

namespace {

constexpr uint8_t Eq = 3, Gt = 4, Lt = 6;
constexpr uint8_t Plus = 9;

Operand num(int v)
{
    return Operand::number(v);
}
Operand var(const std::string& n)
{
    return Operand::name(n);
}

std::string message(BehaviorProgram& p)
{
    return buildProgram(p).message;
}

bool marked(const BehaviorProgram& p, int l, int c)
{
    return p.cell(l, c).hasError();
}

const std::string kNoStartOrEnd =
    "There is an incorrect program grammar!\nThere is no \"START\" or \"END\" command. If "
    "not, please check incorrect labels.";

std::string errorsMessage(int n)
{
    return "There is an incorrect program grammar!\nThe total number of errors: " + std::to_string(n);
}

} // namespace

TEST(RuleCheck, APassingProgramGivesNoErrorAndItsTables)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().start();
    b.line("top").load(var("speed"), num(5));
    b.line().compute(Operand::custom("arm", "pos"), var("speed"), Plus, Operand::custom("7", "gain"));
    b.line("again").condition(Instr::If, var("speed"), Gt, num(3), Conn::Then).jump("top");
    b.line().end();
    ASSERT_TRUE(b.ok());
    CheckResult r = checkRules(p);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(p.nameTable.names, (std::vector<std::string>{"speed", "arm", "pos", "gain"}));
    ASSERT_EQ(p.labelTable.count(), 2);
    EXPECT_EQ(p.labelTable.labels[0].name, "top");
    EXPECT_EQ(p.labelTable.labels[0].address, 1);
    // top: LOAD + 2 operands = 7 bytes; COMPUTE line: 1 + 3 + 3 + 1 + 3 = 11.
    EXPECT_EQ(p.labelTable.labels[1].name, "again");
    EXPECT_EQ(p.labelTable.labels[1].address, 1 + 7 + 11);
    EXPECT_EQ(message(p), "There is no error!");
}

TEST(RuleCheck, MissingStartOrEndFailsWithoutErrors)
{
    BehaviorProgram noStart;
    ProgramBuilder(noStart).line().end();
    CheckResult r = checkRules(noStart);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, 1); // END before START is marked...
    EXPECT_TRUE(marked(noStart, 0, 0));

    BehaviorProgram empty;
    r = checkRules(empty);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(message(empty), kNoStartOrEnd);

    BehaviorProgram noEnd;
    ProgramBuilder(noEnd).line().start();
    r = checkRules(noEnd);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(message(noEnd), kNoStartOrEnd);
}

TEST(RuleCheck, OnlyLinesBetweenStartAndEndAreChecked)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().condition(Instr::ContIf, var("x"), Eq, num(1), Conn::Then); // before START: ignored
    b.line();                                                            // visited but empty, before START
    b.line().start();
    b.line().end();
    b.line().load(num(3), var("y")); // after END: not looked at
    b.line().start();
    EXPECT_TRUE(checkRules(p).ok);
    EXPECT_FALSE(marked(p, 4, 1));

    // Never-visited lines between START and END are skipped, even half-built ones.
    BehaviorProgram q;
    ProgramBuilder c(q);
    c.line().start();
    c.line().load(num(1), num(2));
    c.line().end();
    q.line(1).flags &= static_cast<uint16_t>(~LineFlag::Edited);
    EXPECT_TRUE(checkRules(q).ok);
}

TEST(RuleCheck, SecondStartAndEarlyEndAreMarkedAndTheCheckGoesOn)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().end();
    b.line().start();
    b.line().start();
    b.line().load(num(3), num(4)); // a number as destination: marked, check goes on
    b.line().end();
    CheckResult r = checkRules(p);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, 3);
    EXPECT_TRUE(marked(p, 0, 0));
    EXPECT_TRUE(marked(p, 2, 0));
    EXPECT_TRUE(marked(p, 3, 1));
    EXPECT_FALSE(marked(p, 3, 2)); // a number is a fine source
    EXPECT_EQ(message(p), errorsMessage(3));
}

TEST(RuleCheck, DisabledStartAndEndStillCountInTheMainPass)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().start();
    b.line("here").jump("here");
    b.line().end();
    p.toggleEnabled(0, 0);
    p.toggleEnabled(2, 2);
    CheckResult r = checkRules(p);
    EXPECT_TRUE(r.ok);
    // The label pass skips the disabled START, so no label is recorded and the JUMP has no target.
    EXPECT_EQ(p.labelTable.count(), 0);
    EXPECT_EQ(message(p), "Found incorrect jump label!");
}

TEST(RuleCheck, ConditionContinuationRules)
{
    auto run = [](auto&& build) {
        BehaviorProgram p = framed([&](ProgramBuilder& b) {
            build(b);
            b.line().load(num(1), num(2)); // a later error that a stop must not reach
        });
        CheckResult r = checkRules(p);
        return std::make_pair(r, std::move(p));
    };
    // CONT IF without a preceding AND/OR stops at once.
    auto [r1, p1] = run([](ProgramBuilder& b) {
        b.line().condition(Instr::ContIf, var("a"), Eq, num(1), Conn::Then).load(var("b"), num(1));
    });
    EXPECT_FALSE(r1.ok);
    EXPECT_EQ(r1.errors, 1);
    EXPECT_TRUE(marked(p1, 1, 0));
    // IF right after an AND line stops too.
    auto [r2, p2] = run([](ProgramBuilder& b) {
        b.line().condition(Instr::If, var("a"), Eq, num(1), Conn::And);
        b.line().condition(Instr::If, var("a"), Eq, num(1), Conn::Then).load(var("b"), num(1));
    });
    EXPECT_EQ(r2.errors, 1);
    EXPECT_TRUE(marked(p2, 2, 0));
    // AND/OR continued by CONT IF passes (the later number destination is the only error).
    auto [r3, p3] = run([](ProgramBuilder& b) {
        b.line().condition(Instr::If, var("a"), Eq, num(1), Conn::Or);
        b.line().condition(Instr::ContIf, var("a"), Eq, num(2), Conn::And);
        b.line().condition(Instr::ContIf, var("c"), Lt, num(2), Conn::Then).load(var("b"), num(1));
    });
    EXPECT_EQ(r3.errors, 1);
    EXPECT_TRUE(marked(p3, 4, 1));
}

TEST(RuleCheck, ElseChainsNeedAnOpenIf)
{
    auto errorsOf = [](auto&& build, int line, int cell) {
        BehaviorProgram p = framed(build, false);
        CheckResult r = checkRules(p);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(marked(p, line, cell));
        return r.errors;
    };
    EXPECT_EQ(
        errorsOf(
            [](ProgramBuilder& b) {
                b.line().condition(Instr::ElseIf, var("a"), Eq, num(1), Conn::Then).load(var("b"), num(1));
            },
            1, 0),
        1);
    EXPECT_EQ(errorsOf([](ProgramBuilder& b) { b.line().otherwise().load(var("b"), num(1)); }, 1, 0), 1);
    EXPECT_EQ(errorsOf(
                  [](ProgramBuilder& b) {
                      b.line().condition(Instr::If, var("a"), Eq, num(1), Conn::Then).load(var("b"), num(1));
                      b.line().otherwise().load(var("b"), num(2));
                      b.line().otherwise().load(var("b"), num(3)); // ELSE closed the chain
                  },
                  3, 0),
              1);
    // ELSE IF after ELSE IF, then ELSE: fine.
    BehaviorProgram p = framed([](ProgramBuilder& b) {
        b.line().condition(Instr::If, var("a"), Eq, num(1), Conn::Then).load(var("b"), num(1));
        b.line().condition(Instr::ElseIf, var("a"), Eq, num(2), Conn::Then).load(var("b"), num(2));
        b.line().condition(Instr::ElseIf, var("a"), Eq, num(3), Conn::Then).load(var("b"), num(3));
        b.line().otherwise().load(var("b"), num(4));
    });
    EXPECT_TRUE(checkRules(p).ok);
}

TEST(RuleCheck, UnfilledCellsAreMarked)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().start();
    b.line(); // visited, instruction never chosen: marked, the check goes on
    // IF with nothing filled in but the connective.
    b.line();
    chooseItem(p.line(2), 0, {52, Instr::If});
    chooseItem(p.line(2), 4, {69, Conn::Then});
    chooseItem(p.line(2), 5, {58, Instr::Compute});
    b.line().end();
    CheckResult r = checkRules(p);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(marked(p, 1, 0));
    for (int c : {1, 2, 3, 6, 7, 8, 9})
        EXPECT_TRUE(marked(p, 2, c)) << c;
    EXPECT_FALSE(marked(p, 2, 0));
    EXPECT_FALSE(marked(p, 2, 5));
    EXPECT_EQ(r.errors, 8);

    // An unchosen connective stops the check.
    BehaviorProgram q;
    ProgramBuilder c(q);
    c.line().start();
    c.line();
    chooseItem(q.line(1), 0, {52, Instr::If});
    c.line().load(num(1), num(1));
    c.line().end();
    r = checkRules(q);
    EXPECT_EQ(r.errors, 4); // left, comparison, right, connective; line 2 never reached
    EXPECT_TRUE(marked(q, 1, 4));
    EXPECT_FALSE(marked(q, 2, 1));

    // A visited line after THEN whose instruction is unchosen stops the check.
    BehaviorProgram t;
    ProgramBuilder d(t);
    d.line().start();
    d.line().condition(Instr::If, var("a"), Eq, num(1), Conn::Then);
    d.line().load(num(1), num(1));
    d.line().end();
    r = checkRules(t);
    EXPECT_EQ(r.errors, 1);
    EXPECT_TRUE(marked(t, 1, 5));
}

TEST(RuleCheck, ButtonConstantNeedsNoKindAndNumbersAreNoDestination)
{
    BehaviorProgram p;
    ProgramBuilder b(p);
    b.line().start();
    b.line();
    chooseItem(p.line(1), 0, {52, Instr::If});
    chooseItem(p.line(1), 1, {Entry::Button, ListCodeButton}); // right side becomes "---", unchosen
    chooseItem(p.line(1), 2, {63, Eq});
    chooseItem(p.line(1), 4, {69, Conn::Then});
    chooseItem(p.line(1), 5, {57, Instr::Load});
    typeText(p.line(1), 6, "out");
    typeText(p.line(1), 7, "12");
    b.line().end();
    EXPECT_TRUE(checkRules(p).ok);
    typeText(p.line(1), 6, "99");
    CheckResult r = checkRules(p);
    EXPECT_EQ(r.errors, 1);
    EXPECT_TRUE(marked(p, 1, 6));
}

TEST(RuleCheck, ControllerRegistersMustBeControllerEntries)
{
    BehaviorProgram p = framed([](ProgramBuilder& b) { b.line().load(Operand::kz7(44), Operand::kz7(46)); });
    ASSERT_TRUE(checkRules(p).ok);
    p.cell(1, 2).entry = 20; // a sensor register where a controller one belongs
    p.cell(1, 1).entry = 51;
    CheckResult r = checkRules(p);
    EXPECT_EQ(r.errors, 2);
    EXPECT_TRUE(marked(p, 1, 1));
    EXPECT_TRUE(marked(p, 1, 2));
    // A new check starts from clean marks.
    p.cell(1, 2).entry = 46;
    p.cell(1, 1).entry = 39;
    EXPECT_TRUE(checkRules(p).ok);
    EXPECT_FALSE(marked(p, 1, 1));
}

TEST(RuleCheck, TheFiftyFirstNameStopsAtItsOperand)
{
    BehaviorProgram p = framed([](ProgramBuilder& b) {
        for (int i = 0; i < 25; ++i)
            b.line().load(var("n" + std::to_string(2 * i)), var("n" + std::to_string(2 * i + 1)));
        b.line().load(var("n0"), var("n49")); // known names: fine
        b.line().load(var("n50"), num(1));    // the 51st
        b.line().load(num(1), num(1));        // never reached
    });
    CheckResult r = checkRules(p);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, 1);
    EXPECT_EQ(p.nameTable.count(), 50);
    EXPECT_TRUE(marked(p, 27, 1));
    EXPECT_FALSE(marked(p, 28, 1));

    // Device registers contribute their ID name before their address name.
    BehaviorProgram q = framed([](ProgramBuilder& b) {
        b.line().load(Operand::custom("arm", "pos"), Operand::custom("5", "gain"));
        b.line().load(Operand::custom("leg", "9"), Operand::custom("3", "4"));
    });
    ASSERT_TRUE(checkRules(q).ok);
    EXPECT_EQ(q.nameTable.names, (std::vector<std::string>{"arm", "pos", "gain", "leg"}));
}

TEST(RuleCheck, LabelsDuplicatesAndMissingTargets)
{
    BehaviorProgram p = framed([](ProgramBuilder& b) {
        b.line("same").load(var("a"), num(1));
        b.line("same").load(var("a"), num(2));
    });
    CheckResult r = checkRules(p);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, 0);
    EXPECT_TRUE(marked(p, 2, 0));
    EXPECT_FALSE(marked(p, 1, 0));
    EXPECT_EQ(message(p), kNoStartOrEnd);

    // Labels compare exactly.
    p.line(2).label = "Same";
    EXPECT_TRUE(checkRules(p).ok);

    // An empty JUMP label is marked; an unknown one passes the check and fails the generation.
    BehaviorProgram q = framed(
        [](ProgramBuilder& b) {
            b.line().jump("");
            b.line().call("nowhere");
        },
        false);
    r = checkRules(q);
    EXPECT_EQ(r.errors, 1);
    EXPECT_TRUE(marked(q, 1, 1));
    typeText(q.line(1), 1, "nowhere");
    EXPECT_TRUE(checkRules(q).ok);
    EXPECT_EQ(message(q), "Found incorrect jump label!");
    EXPECT_TRUE(marked(q, 1, 1));
}

TEST(RuleCheck, LabelsAfterAnEndAreNeverAddressed)
{
    // The generator stops at the first END after START whatever its flags; a label behind it
    // must not get an address past the image.
    for (bool disabled : {true, false}) {
        BehaviorProgram p;
        ProgramBuilder b(p);
        b.line().start();
        b.line().jump("later");
        b.line().end();
        b.line("later").load(var("x"), num(1));
        b.line().end();
        if (disabled)
            p.toggleEnabled(2, 2);
        else
            p.line(2).flags &= static_cast<uint16_t>(~LineFlag::Edited); // END never visited
        CheckResult r = checkRules(p);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(p.labelTable.find("later"), -1) << disabled;
        EXPECT_EQ(message(p), "Found incorrect jump label!") << disabled;
        EXPECT_EQ(p.image.length, 0);
    }
}

TEST(RuleCheck, CraftedLinesNeverReachPastTheTenthCell)
{
    // IF ... THEN ELSE COMPUTE: the COMPUTE would need cells 7..10.
    BehaviorProgram p = framed([](ProgramBuilder& b) {
        b.line()
            .condition(Instr::If, var("a"), Eq, num(1), Conn::Then)
            .compute(var("b"), var("c"), Plus, num(1));
    });
    ProgramLine& l = p.line(1);
    for (int i = 9; i > 5; --i)
        l.cells[i] = l.cells[i - 1];
    l.cells[5].code = {0, 1, Instr::Else, 255, 255};
    l.cells[5].entry = 54;
    CheckResult r = checkRules(p);
    EXPECT_FALSE(r.ok);
    EXPECT_GE(r.errors, 1);
    EXPECT_TRUE(marked(p, 1, 6)); // the COMPUTE that runs off the line carries the mark
}

TEST(BuildMessage, ComposesTheExactTexts)
{
    // The other texts are checked end to end through buildProgram above.
    EXPECT_EQ(composeBuildMessage({false, -1}, nullptr), "There is an incorrect program grammar!\n");
    GenerateResult g;
    g.error = GenerateError::Empty;
    EXPECT_EQ(composeBuildMessage({true, 0}, &g), "Found incorrect jump label!");
}

TEST(RuleCheck, EveryRefusalNamesItsPlaceAndReason)
{
    using P = Problem;
    struct Case {
        const char* what;
        BehaviorProgram program;
        std::vector<CheckProblem> expected;
    };
    BehaviorProgram noEnd;
    ProgramBuilder(noEnd).line().start();
    BehaviorProgram endFirst;
    ProgramBuilder(endFirst).line().end();
    BehaviorProgram numberDestination = framed([](ProgramBuilder& b) { b.line().load(var("x"), num(1)); });
    typeText(numberDestination.line(1), 1, "7");
    BehaviorProgram unfinishedIf = framed([](ProgramBuilder& b) { b.line(); });
    chooseItem(unfinishedIf.line(1), 0, {52, Instr::If});
    Case cases[] = {
        {"no END", std::move(noEnd), {{-1, -1, P::NoEnd}}},
        {"END first", std::move(endFirst), {{0, 0, P::EndBeforeStart}, {-1, -1, P::NoStart}}},
        {"a number receives", std::move(numberDestination), {{1, 1, P::NumberAsDestination}}},
        {"an IF left unfinished",
         std::move(unfinishedIf),
         {{1, 1, P::OperandNotChosen},
          {1, 2, P::ComparisonNotChosen},
          {1, 3, P::OperandNotChosen},
          {1, 4, P::ConnectiveMissing}}},
        {"a label twice",
         framed([](ProgramBuilder& b) {
             b.line("same").load(var("a"), num(1));
             b.line("same").load(var("a"), num(2));
         }),
         {{2, 0, P::DuplicateLabel}}},
        {"a JUMP nowhere",
         framed([](ProgramBuilder& b) { b.line().jump("nowhere"); }),
         {{1, 1, P::LabelNotFound}}},
        {"a passing program", framed(), {}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BuildResult r = buildProgram(c.program);
        EXPECT_EQ(buildProblems(r), c.expected);
        // Every reason has its words, and every place named is a marked cell.
        for (const CheckProblem& p : buildProblems(r)) {
            EXPECT_GT(std::string(problemText(p.problem)).size(), 10u);
            if (p.line >= 0) {
                EXPECT_TRUE(marked(c.program, p.line, p.cell));
            }
        }
    }
}
