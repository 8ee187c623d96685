#include "sim/Interpreter.h"

#include <cstdio>

namespace sim {

namespace {

int16_t wrap(int32_t value)
{
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF));
}

bool compare(Comparison c, int16_t a, int16_t b)
{
    switch (c) {
    case Comparison::Equal:
        return a == b;
    case Comparison::Greater:
        return a > b;
    case Comparison::GreaterEqual:
        return a >= b;
    case Comparison::Less:
        return a < b;
    case Comparison::LessEqual:
        return a <= b;
    case Comparison::NotEqual:
        return a != b;
    }
    return false;
}

} // namespace

void Interpreter::load(const uint8_t* bytes, size_t size)
{
    program_ = decodeProgram(bytes, size);
    if (!program_.ok) {
        state_ = State::Failed;
        char text[32];
        std::snprintf(text, sizeof text, "at %04zX: ", program_.errorOffset);
        error_ = text + program_.error;
        return;
    }
    restart();
}

void Interpreter::restart()
{
    if (!program_.ok)
        return;
    error_.clear();
    variables_.fill(0);
    stack_.clear();
    pc_ = 0;
    pending_ = false;
    waiting_ = false;
    linesRun_ = 0;
    state_ = program_.statements.empty() ? State::Ended : State::Running;
}

uint16_t Interpreter::position() const
{
    if (pc_ < program_.statements.size())
        return program_.statements[pc_].offset;
    return static_cast<uint16_t>(program_.size);
}

std::vector<uint16_t> Interpreter::returnOffsets() const
{
    std::vector<uint16_t> offsets;
    for (uint32_t index : stack_)
        offsets.push_back(index < program_.statements.size() ? program_.statements[index].offset
                                                             : static_cast<uint16_t>(program_.size));
    return offsets;
}

std::vector<uint16_t> Interpreter::lineOffsets() const
{
    std::vector<uint16_t> offsets;
    for (const ProgramStatement& st : program_.statements)
        offsets.push_back(st.offset);
    return offsets;
}

Interpreter::Step Interpreter::fail(uint16_t offset, const std::string& why)
{
    char text[32];
    std::snprintf(text, sizeof text, "at %04X: ", offset);
    error_ = text + why;
    state_ = State::Failed;
    return Step::Stop;
}

size_t Interpreter::run(ProgramBus& bus, size_t budget)
{
    size_t ran = 0;
    const auto& statements = program_.statements;
    while (ran < budget && state_ == State::Running) {
        if (pc_ >= statements.size()) {
            state_ = State::Ended; // past the last line: as END
            break;
        }
        if (hook_ && !waiting_ && hook_->mayStopAt(statements[pc_].offset, linesRun_) &&
            hook_->stopBefore(*this))
            break;
        // A line that waits on a full output runs again whole, with the condition state it
        // found.
        const bool pending = pending_, pendingValue = pendingValue_;
        const Connective pendingConnective = pendingConnective_;
        Step step = execute(bus, statements[pc_]);
        waiting_ = step == Step::Wait;
        if (waiting_) {
            pending_ = pending;
            pendingValue_ = pendingValue;
            pendingConnective_ = pendingConnective;
            break;
        }
        ++ran;
        ++linesRun_;
    }
    return ran;
}

Interpreter::Step Interpreter::execute(ProgramBus& bus, const ProgramStatement& st)
{
    const uint32_t next = pc_ + 1;
    switch (st.op) {
    case ProgramOp::Start:
        pending_ = false;
        pc_ = next;
        return Step::Next;
    case ProgramOp::End:
        state_ = State::Ended;
        return Step::Stop;
    case ProgramOp::If:
    case ProgramOp::ElseIf:
    case ProgramOp::ContIf: {
        bool value = compare(st.comparison, read(bus, st.left), read(bus, st.right));
        if (st.op == ProgramOp::ContIf && pending_)
            value =
                pendingConnective_ == Connective::And ? (pendingValue_ && value) : (pendingValue_ || value);
        if (st.connective != Connective::Then) {
            pending_ = true;
            pendingValue_ = value;
            pendingConnective_ = st.connective;
            pc_ = next;
            return Step::Next;
        }
        pending_ = false;
        if (!value) {
            pc_ = next;
            return Step::Next;
        }
        return perform(bus, st.action, st.afterChain);
    }
    case ProgramOp::Else:
    case ProgramOp::Return:
    case ProgramOp::Jump:
    case ProgramOp::Call:
    case ProgramOp::Load:
    case ProgramOp::Compute:
        pending_ = false;
        if (st.op == ProgramOp::Return) {
            ProgramAction ret;
            ret.op = ProgramOp::Return;
            ret.offset = st.offset;
            return perform(bus, ret, next);
        }
        return perform(bus, st.action, next);
    }
    return Step::Stop;
}

Interpreter::Step Interpreter::perform(ProgramBus& bus, const ProgramAction& action, uint32_t next)
{
    switch (action.op) {
    case ProgramOp::Jump:
        pc_ = action.target;
        return Step::Next;
    case ProgramOp::Call:
        if (stack_.size() >= static_cast<size_t>(kCallDepth))
            return fail(action.offset,
                        "call stack overflow (more than " + std::to_string(kCallDepth) + " nested CALLs)");
        stack_.push_back(next);
        pc_ = action.target;
        return Step::Next;
    case ProgramOp::Return:
        if (stack_.empty())
            return fail(action.offset, "RETURN without CALL");
        pc_ = stack_.back();
        stack_.pop_back();
        return Step::Next;
    case ProgramOp::End:
        state_ = State::Ended;
        return Step::Stop;
    case ProgramOp::Load: {
        if (!write(bus, action.destination, read(bus, action.source)))
            return Step::Wait;
        pc_ = next;
        return Step::Next;
    }
    case ProgramOp::Compute: {
        const int32_t a = read(bus, action.source), b = read(bus, action.operand);
        int32_t result = 0;
        switch (action.arith) {
        case Arith::Add:
            result = a + b;
            break;
        case Arith::Sub:
            result = a - b;
            break;
        case Arith::Mul:
            result = a * b;
            break;
        case Arith::Div:
            if (b == 0)
                return fail(action.offset, "division by zero");
            result = a / b; // -32768 / -1 is 32768, which wraps to -32768
            break;
        case Arith::BitAnd:
            result = a & b;
            break;
        case Arith::BitOr:
            result = a | b;
            break;
        }
        if (!write(bus, action.destination, wrap(result)))
            return Step::Wait;
        pc_ = next;
        return Step::Next;
    }
    default:
        return fail(action.offset, "not an action");
    }
}

bool Interpreter::resolve(const ProgramOperand& op, int& id, int& address) const
{
    using T = ProgramOperand::Type;
    id = op.type == T::NamedId || op.type == T::NamedBoth ? variables_[op.id] : op.id;
    address = op.type == T::NamedAddress || op.type == T::NamedBoth ? variables_[op.address] : op.address;
    return id >= 0 && id <= 255 && address >= 0 && address <= 255;
}

int16_t Interpreter::read(ProgramBus& bus, const ProgramOperand& op) const
{
    switch (op.type) {
    case ProgramOperand::Type::Value:
        return static_cast<int16_t>(op.value);
    case ProgramOperand::Type::Variable:
        return variables_[op.value];
    default: {
        int id = 0, address = 0;
        return resolve(op, id, address) ? bus.read(id, address) : int16_t{0};
    }
    }
}

bool Interpreter::write(ProgramBus& bus, const ProgramOperand& op, int16_t value)
{
    switch (op.type) {
    case ProgramOperand::Type::Variable:
        variables_[op.value] = value;
        return true;
    case ProgramOperand::Type::Value:
        return true; // refused by the decoder
    default: {
        int id = 0, address = 0;
        if (!resolve(op, id, address))
            return true; // names no device: nobody answers
        return bus.write(id, address, value);
    }
    }
}

} // namespace sim
