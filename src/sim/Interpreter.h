#pragma once
// Runs a decoded behaviour program a bounded number of lines at a time. What the program reads
// and writes outside its variables goes through a ProgramBus: the controller's own registers
// (ID 200) and the devices on its bus.
//
// Semantics (docs/kz7sim.md lists them for users):
// - values are signed 16-bit; + - x wrap around, / truncates towards zero, & and | are bitwise;
//   a number typed above 32767 reads as its 16-bit pattern (40000 is -25536);
// - dividing by zero stops the program with an error;
// - the 50 variables start at 0 each time the program starts;
// - a condition continued by AND or OR is evaluated left to right without precedence:
//   (a AND b) OR c; an AND/OR line not followed by CONT IF is dropped;
// - a THEN whose condition holds runs its action and skips the rest of its chain (the ELSE IF,
//   CONT IF and ELSE lines that follow); otherwise the next line runs;
// - a named device ID or register address is the value of the variable of that name; one
//   outside 0..255 names no device;
// - END stops the program, as does running past the last line; RETURN without CALL and more
//   than kCallDepth nested CALLs stop it with an error.

#include "sim/ProgramDecoder.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class ProgramBus {
  public:
    virtual ~ProgramBus() = default;
    virtual int16_t read(int id, int address) = 0;
    // False when the write cannot be taken now (the output is full): the program waits on
    // this line and tries again on its next turn.
    virtual bool write(int id, int address, int16_t value) = 0;
};

class Interpreter;

// Consulted before each line the interpreter enters (not again while a line waits on a full
// output): true holds the program before that line, which then runs on a later turn. The
// interpreter asks stopBefore() only where mayStopAt() says so, which costs a program that runs
// past its breakpoints two loads a line instead of a call.
class LineHook {
  public:
    static constexpr size_t kOffsets = 8192; // the program area

    virtual ~LineHook() = default;
    bool mayStopAt(uint16_t offset, uint64_t linesRun) const
    {
        return attention_ || (entry_ && linesRun == 0) || (offset < kOffsets && stops_[offset]);
    }
    virtual bool stopBefore(const Interpreter& interpreter) = 0;
    // True while the hook keeps the program held (the controller's timer stands still then).
    virtual bool holding() const = 0;

  protected:
    bool attention_ = false;      // something besides a breakpoint may stop the next line
    bool entry_ = false;          // stop before the first line of every run
    std::bitset<kOffsets> stops_; // the breakpoints
};

class Interpreter {
  public:
    static constexpr int kCallDepth = 32;
    static constexpr int kBroadcastId = 254;
    enum class State { Empty, Running, Ended, Failed };

    // Decodes the image and makes it ready to run from its first line; a malformed image
    // leaves the interpreter Failed with the reason in error().
    void load(const uint8_t* bytes, size_t size);
    // Back to the first line with all variables 0 (the same image).
    void restart();
    void stop() { state_ = State::Empty; }
    // Nullptr (the default) runs without asking anyone.
    void setLineHook(LineHook* hook) { hook_ = hook; }

    // Runs up to `budget` lines; returns how many ran. Returns early when the program ends,
    // fails or waits on a write the bus cannot take now.
    size_t run(ProgramBus& bus, size_t budget);

    State state() const { return state_; }
    bool runnable() const { return state_ == State::Running; }
    // "at 0012: division by zero" for a failed program.
    const std::string& error() const { return error_; }
    int16_t variable(int index) const { return variables_[index]; }
    size_t imageSize() const { return program_.size; }
    size_t lineCount() const { return program_.statements.size(); }
    // Image offset of the line that runs next.
    uint16_t position() const;
    int callDepth() const { return static_cast<int>(stack_.size()); }
    // Where each pending RETURN goes back to, outermost first (image offsets).
    std::vector<uint16_t> returnOffsets() const;
    // Image offsets of the lines, in image order.
    std::vector<uint16_t> lineOffsets() const;
    uint64_t linesRun() const { return linesRun_; }

  private:
    enum class Step { Next, Wait, Stop };
    Step execute(ProgramBus& bus, const ProgramStatement& st);
    Step perform(ProgramBus& bus, const ProgramAction& action, uint32_t next);
    int16_t read(ProgramBus& bus, const ProgramOperand& op) const;
    bool write(ProgramBus& bus, const ProgramOperand& op, int16_t value);
    bool resolve(const ProgramOperand& op, int& id, int& address) const;
    Step fail(uint16_t offset, const std::string& why);

    DecodedProgram program_;
    State state_ = State::Empty;
    std::string error_;
    std::array<int16_t, kProgramVariables> variables_{};
    std::vector<uint32_t> stack_;
    uint32_t pc_ = 0;
    // A condition left open by AND or OR, waiting for its CONT IF line.
    bool pending_ = false;
    bool pendingValue_ = false;
    Connective pendingConnective_ = Connective::And;
    uint64_t linesRun_ = 0;
    LineHook* hook_ = nullptr;
    bool waiting_ = false; // the line at pc_ was entered and waits on a full output
};

} // namespace sim
