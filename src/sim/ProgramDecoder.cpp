#include "sim/ProgramDecoder.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace sim {

namespace {

constexpr size_t kMaxImage = 8192;
constexpr uint8_t kErased = 0xFF;

enum Code : uint8_t {
    kJump = 0x01,
    kLoad = 0x02,
    kCompute = 0x03,
    kStart = 0x04,
    kEnd = 0x05,
    kCall = 0x06,
    kReturn = 0x07,
    kIf = 0x80,
    kElseIf = 0x81,
    kElse = 0x82,
    kContIf = 0x83,
};

std::string hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

class Reader {
  public:
    Reader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(std::min(size, kMaxImage)) {}

    size_t position() const { return pos_; }
    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }
    size_t errorOffset() const { return errorOffset_; }

    // Nothing but erased bytes from here to the end of the area.
    bool erasedFromHere() const
    {
        return std::all_of(bytes_ + pos_, bytes_ + size_, [](uint8_t b) { return b == kErased; });
    }
    bool atEnd() const { return pos_ >= size_; }

    bool fail(size_t at, std::string why)
    {
        if (!failed_) {
            failed_ = true;
            errorOffset_ = at;
            error_ = std::move(why);
        }
        return false;
    }

    // A data byte of an operand: any value, 0xFF included.
    bool byte(uint8_t& value)
    {
        if (atEnd())
            return fail(pos_, "the image ends in the middle of a line");
        value = bytes_[pos_++];
        return true;
    }
    // A byte that says what comes (operand type, comparison, connective, operator, action):
    // never 0xFF, so erased flash here is a line cut short.
    bool code(uint8_t& value)
    {
        if (atEnd() || erasedFromHere())
            return fail(pos_, "the image ends in the middle of a line");
        value = bytes_[pos_++];
        return true;
    }

    enum class Use { Source, Destination, Label };
    bool operand(ProgramOperand& op, Use use)
    {
        size_t at = pos_;
        uint8_t type = 0, a = 0, b = 0;
        if (!code(type) || !byte(a) || !byte(b))
            return false;
        if (type > 5)
            return fail(at, "unknown operand type " + hex(type));
        op.type = static_cast<ProgramOperand::Type>(type);
        op.id = a;
        op.address = b;
        op.value = static_cast<uint16_t>(a | (b << 8));
        using T = ProgramOperand::Type;
        if (use == Use::Label && op.type != T::Value)
            return fail(at, "a jump or call needs a label address");
        if (use == Use::Destination && op.type == T::Value)
            return fail(at, "a number cannot be written to");
        auto variable = [](unsigned n) { return n < static_cast<unsigned>(kProgramVariables); };
        bool namesOk = true;
        switch (op.type) {
        case T::NamedAddress:
            namesOk = variable(op.address);
            break;
        case T::NamedId:
            namesOk = variable(op.id);
            break;
        case T::NamedBoth:
            namesOk = variable(op.id) && variable(op.address);
            break;
        case T::Variable:
            namesOk = variable(op.value);
            break;
        default:
            break;
        }
        if (!namesOk)
            return fail(at,
                        "no such variable (the controller has " + std::to_string(kProgramVariables) + ")");
        return true;
    }

    bool action(ProgramAction& act, bool afterThenOrElse)
    {
        act.offset = static_cast<uint16_t>(pos_);
        uint8_t op = 0;
        if (!code(op))
            return false;
        switch (op) {
        case kJump:
        case kCall:
            act.op = op == kJump ? ProgramOp::Jump : ProgramOp::Call;
            return operand(act.destination, Use::Label);
        case kLoad:
            act.op = ProgramOp::Load;
            return operand(act.destination, Use::Destination) && operand(act.source, Use::Source);
        case kCompute: {
            act.op = ProgramOp::Compute;
            if (!operand(act.destination, Use::Destination) || !operand(act.source, Use::Source))
                return false;
            size_t at = pos_;
            uint8_t arith = 0;
            if (!code(arith))
                return false;
            if (arith > 3 && arith != 0x10 && arith != 0x11)
                return fail(at, "unknown arithmetic operator " + hex(arith));
            act.arith = static_cast<Arith>(arith);
            return operand(act.operand, Use::Source);
        }
        case kEnd:
        case kReturn:
            if (afterThenOrElse) {
                act.op = op == kEnd ? ProgramOp::End : ProgramOp::Return;
                return true;
            }
            break;
        default:
            break;
        }
        return fail(act.offset, "instruction " + hex(op) + " cannot follow THEN or ELSE");
    }

    // One line. False at the end of the image (done set) or on a fault.
    bool statement(ProgramStatement& st, bool& done)
    {
        if (atEnd() || erasedFromHere()) {
            done = true;
            return false;
        }
        st = ProgramStatement{};
        st.offset = static_cast<uint16_t>(pos_);
        uint8_t first = bytes_[pos_];
        switch (first) {
        case kStart:
        case kEnd:
        case kReturn:
            ++pos_;
            st.op = first == kStart ? ProgramOp::Start : first == kEnd ? ProgramOp::End : ProgramOp::Return;
            if (first == kEnd)
                done = true;
            return true;
        case kJump:
        case kCall:
        case kLoad:
        case kCompute:
            st.hasAction = true;
            if (!action(st.action, false))
                return false;
            st.op = st.action.op;
            return true;
        case kElse:
            ++pos_;
            st.op = ProgramOp::Else;
            st.hasAction = true;
            return action(st.action, true);
        case kIf:
        case kElseIf:
        case kContIf: {
            ++pos_;
            st.op = first == kIf ? ProgramOp::If : first == kElseIf ? ProgramOp::ElseIf : ProgramOp::ContIf;
            if (!operand(st.left, Use::Source))
                return false;
            size_t at = pos_;
            uint8_t comparison = 0;
            if (!code(comparison))
                return false;
            if (comparison > 5)
                return fail(at, "unknown comparison " + hex(comparison));
            st.comparison = static_cast<Comparison>(comparison);
            if (!operand(st.right, Use::Source))
                return false;
            at = pos_;
            uint8_t connective = 0;
            if (!code(connective))
                return false;
            if (connective > 2)
                return fail(at, "unknown connective " + hex(connective));
            st.connective = static_cast<Connective>(connective);
            if (st.connective != Connective::Then)
                return true;
            st.hasAction = true;
            return action(st.action, true);
        }
        default:
            return fail(pos_, "unknown instruction " + hex(first));
        }
    }

  private:
    const uint8_t* bytes_;
    size_t size_;
    size_t pos_ = 0;
    bool failed_ = false;
    size_t errorOffset_ = 0;
    std::string error_;
};

} // namespace

DecodedProgram decodeProgram(const uint8_t* bytes, size_t size)
{
    DecodedProgram program;
    Reader reader(bytes, size);
    bool done = false;
    for (;;) {
        ProgramStatement st;
        if (!reader.statement(st, done)) {
            if (reader.failed()) {
                program.statements.clear();
                program.errorOffset = reader.errorOffset();
                program.error = reader.error();
                return program;
            }
            break;
        }
        program.statements.push_back(st);
        if (done)
            break;
    }
    program.size = reader.position();

    std::map<uint16_t, uint32_t> lineAt;
    for (uint32_t i = 0; i < program.statements.size(); ++i)
        lineAt.emplace(program.statements[i].offset, i);
    const uint32_t count = static_cast<uint32_t>(program.statements.size());
    for (uint32_t i = 0; i < count; ++i) {
        ProgramStatement& st = program.statements[i];
        if (st.hasAction && (st.action.op == ProgramOp::Jump || st.action.op == ProgramOp::Call)) {
            auto it = lineAt.find(st.action.destination.value);
            if (it == lineAt.end()) {
                program.statements.clear();
                program.errorOffset = st.action.offset;
                char text[80];
                std::snprintf(text, sizeof text, "the %s target %04X is not the start of a line",
                              st.action.op == ProgramOp::Jump ? "jump" : "call", st.action.destination.value);
                program.error = text;
                return program;
            }
            st.action.target = it->second;
        }
        // The chain a THEN belongs to goes on through ELSE IF lines (with their CONT IF lines)
        // and ends with an ELSE line or with any other line.
        uint32_t k = i + 1;
        while (k < count && (program.statements[k].op == ProgramOp::ElseIf ||
                             program.statements[k].op == ProgramOp::ContIf))
            ++k;
        if (k < count && program.statements[k].op == ProgramOp::Else)
            ++k;
        st.afterChain = k;
    }
    program.ok = true;
    return program;
}

} // namespace sim
