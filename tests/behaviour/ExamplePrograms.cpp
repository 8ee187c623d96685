#include "ExamplePrograms.h"

#include "behaviour/ProgramBuilder.h"

namespace examples {

using namespace behaviour;

namespace {

// Bus IDs of the robot the examples are written for.
constexpr int SensorId = 100;
constexpr int LeftWheel = 1;
constexpr int RightWheel = 2;

// Catalogue entries used below.
constexpr int MovingSpeed = 12, GoalPosition = 11, PresentPosition = 14;
constexpr int LeftIr = 20, CenterIr = 21, RightIr = 22, BuzzerIndex = 32, BuzzerTime = 33;
constexpr int MotionPage = 39, AuxLed = 44, ButtonReg = 45, TimerReg = 46, PrintLf = 50;

Operand sensor(int entry)
{
    return Operand::device("Sensor", SensorId, entry);
}

bool startEnd(BehaviorProgram& p)
{
    ProgramBuilder b(p);
    b.line().start();
    b.line().end();
    return b.ok();
}

// Follows the brightest free direction: an IF / ELSE IF / ELSE chain on the three IR sensors
// choosing a motion page, repeated by a JUMP back to the labelled first test.
bool obstacleAvoid(BehaviorProgram& p)
{
    ProgramBuilder b(p);
    b.line({}, "Obstacle avoidance with motion pages").start();
    b.line("look", "something close ahead: back off")
        .condition(Instr::If, sensor(CenterIr), 4 /* > */, Operand::number(100), Conn::Then)
        .load(Operand::kz7(MotionPage), Operand::number(3));
    b.line({}, "obstacle on the left: turn right")
        .condition(Instr::ElseIf, sensor(LeftIr), 5 /* >= */, Operand::number(80), Conn::Then)
        .load(Operand::kz7(MotionPage), Operand::number(4));
    b.line({}, "obstacle on the right: turn left")
        .condition(Instr::ElseIf, sensor(RightIr), 5 /* >= */, Operand::number(80), Conn::Then)
        .load(Operand::kz7(MotionPage), Operand::number(5));
    b.line({}, "free: walk on").otherwise().load(Operand::kz7(MotionPage), Operand::number(1));
    b.line().jump("look");
    b.line().end();
    return b.ok();
}

// Counts presses of Up+Left on the controller, beeping through a subroutine, until Down is
// pressed or the timer runs out: button constants, AND/OR continued by CONT IF, CALL/RETURN.
bool buttonCounter(BehaviorProgram& p)
{
    ProgramBuilder b(p);
    b.line().start();
    b.line({}, "count starts at zero").load(Operand::name("count"), Operand::number(0));
    b.line().load(Operand::kz7(TimerReg), Operand::number(120));
    b.line().jump("wait");
    b.line("beep", "one short tone per press")
        .load(Operand::device("Sensor", SensorId, BuzzerIndex), Operand::number(10));
    b.line().load(sensor(BuzzerTime), Operand::number(3));
    b.line().compute(Operand::name("count"), Operand::name("count"), 9 /* + */, Operand::number(1));
    b.line().ret();
    b.line("wait").condition(Instr::If, Operand::kz7(ButtonReg), 3 /* = */, Operand::buttons(8 | 2),
                             Conn::And);
    b.line()
        .condition(Instr::ContIf, Operand::name("count"), 6 /* < */, Operand::number(10), Conn::Then)
        .call("beep");
    b.line().condition(Instr::If, Operand::kz7(ButtonReg), 3 /* = */, Operand::buttons(4), Conn::Or);
    b.line()
        .condition(Instr::ContIf, Operand::kz7(TimerReg), 3 /* = */, Operand::number(0), Conn::Then)
        .jump("done");
    b.line().jump("wait");
    b.line("done").load(Operand::kz7(PrintLf), Operand::name("count"));
    b.line().load(Operand::kz7(AuxLed), Operand::number(1));
    b.line().end();
    return b.ok();
}

// Drives two wheel servos with computed speeds: COMPUTE on named and numeric operands, device
// registers given by number, by name and by both, every arithmetic operator, a disabled line.
bool wheelControl(BehaviorProgram& p)
{
    ProgramBuilder b(p);
    b.line({}, "Two-wheel speed control").start();
    b.line().load(Operand::name("base"), Operand::number(300));
    b.line("again").load(Operand::name("light"), sensor(23 /* Left luminosity */));
    b.line().compute(Operand::name("speed"), Operand::name("base"), 9 /* + */, Operand::name("light"));
    b.line().compute(Operand::name("turn"), Operand::name("light"), 11 /* x */, Operand::number(2));
    b.line().compute(Operand::name("turn"), Operand::name("turn"), 12 /* / */, Operand::number(3));
    b.line().compute(Operand::device("Left wheel", LeftWheel, MovingSpeed), Operand::name("speed"),
                     10 /* - */, Operand::name("turn"));
    b.line().compute(Operand::custom("2", "speedReg"), Operand::name("speed"), 9 /* + */,
                     Operand::name("turn"));
    b.line({}, "kept for testing: torque limit").load(Operand::custom("wheel", "34"), Operand::number(512));
    p.toggleEnabled(b.lineIndex(), b.lineIndex());
    b.line().compute(Operand::name("flags"), Operand::custom("arm", "posReg"), 13 /* and(&) */,
                     Operand::number(0x3FF));
    b.line().compute(Operand::name("flags"), Operand::name("flags"), 14 /* or( | ) */, Operand::number(1024));
    b.line()
        .condition(Instr::If, Operand::device("Right wheel", RightWheel, PresentPosition), 7 /* <= */,
                   Operand::number(512), Conn::Then)
        .load(Operand::device("Right wheel", RightWheel, GoalPosition), Operand::number(700));
    b.line()
        .condition(Instr::If, Operand::name("speed"), 8 /* != */, Operand::number(0), Conn::Then)
        .jump("again");
    b.line().end();
    return b.ok();
}

// Prints 1 to 10, one number every 0.2 s (the timer counts down in tenths of a second).
bool counterPrinter(BehaviorProgram& p)
{
    ProgramBuilder b(p);
    b.line({}, "Counts to ten on the console").start();
    b.line().load(Operand::name("count"), Operand::number(0));
    b.line("next").compute(Operand::name("count"), Operand::name("count"), 9 /* + */, Operand::number(1));
    b.line().load(Operand::kz7(PrintLf), Operand::name("count"));
    b.line().load(Operand::kz7(TimerReg), Operand::number(2));
    b.line("wait")
        .condition(Instr::If, Operand::kz7(TimerReg), 4 /* > */, Operand::number(0), Conn::Then)
        .jump("wait");
    b.line()
        .condition(Instr::If, Operand::name("count"), 6 /* < */, Operand::number(10), Conn::Then)
        .jump("next");
    b.line().end();
    return b.ok();
}

// Up switches the AUX LED on and Down off; joint 1 turns to 800 while the centre IR sensor of
// module 100 reads more than 100, and back to 200 otherwise.
bool buttonSensor(BehaviorProgram& p)
{
    ProgramBuilder b(p);
    b.line({}, "Buttons drive the LED, the sensor drives joint 1").start();
    b.line("loop")
        .condition(Instr::If, Operand::kz7(ButtonReg), 3 /* = */, Operand::buttons(8), Conn::Then)
        .load(Operand::kz7(AuxLed), Operand::number(1));
    b.line()
        .condition(Instr::If, Operand::kz7(ButtonReg), 3 /* = */, Operand::buttons(4), Conn::Then)
        .load(Operand::kz7(AuxLed), Operand::number(0));
    b.line()
        .condition(Instr::If, sensor(CenterIr), 4 /* > */, Operand::number(100), Conn::Then)
        .load(Operand::device("Joint 1", LeftWheel, GoalPosition), Operand::number(800));
    b.line().otherwise().load(Operand::device("Joint 1", LeftWheel, GoalPosition), Operand::number(200));
    b.line().jump("loop");
    b.line().end();
    return b.ok();
}

} // namespace

bool workedExample(BehaviorProgram& p)
{
    ProgramBuilder b(p);
    b.line().start();
    b.line()
        .condition(Instr::If, sensor(LeftIr), 4 /* > */, Operand::number(50), Conn::Then)
        .load(Operand::kz7(AuxLed), Operand::number(1));
    b.line().end();
    return b.ok();
}

const std::vector<Example>& all()
{
    static const std::vector<Example> list = {
        {"worked_example.tpg", workedExample}, {"start_end.tpg", startEnd},
        {"obstacle_avoid.tpg", obstacleAvoid}, {"button_counter.tpg", buttonCounter},
        {"wheel_control.tpg", wheelControl},   {"counter_printer.tpg", counterPrinter},
        {"button_sensor.tpg", buttonSensor},
    };
    return list;
}

bool build(const std::string& fileName, BehaviorProgram& program)
{
    for (const Example& e : all())
        if (e.fileName == fileName)
            return e.build(program);
    return false;
}

int firstLineWith(const BehaviorProgram& program, uint8_t instruction)
{
    for (int l = 0; l < program.count(); ++l)
        if (program.cell(l, 0).inUse() && program.cell(l, 0).code[2] == instruction)
            return l;
    return -1;
}

} // namespace examples
