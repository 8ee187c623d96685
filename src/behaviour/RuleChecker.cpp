#include "behaviour/RuleChecker.h"

#include "behaviour/ProgramMessages.h"

#include <algorithm>

namespace behaviour {

int NameTable::find(const std::string& name) const
{
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return static_cast<int>(i);
    return -1;
}

int LabelTable::find(const std::string& name) const
{
    for (size_t i = 0; i < labels.size(); ++i)
        if (labels[i].name == name)
            return static_cast<int>(i);
    return -1;
}

int LineAddressTable::addressOf(int line) const
{
    auto it = std::lower_bound(entries.begin(), entries.end(), line,
                               [](const Entry& e, int l) { return e.line < l; });
    return it != entries.end() && it->line == line ? it->address : -1;
}

int LineAddressTable::lineAt(int address) const
{
    auto it = std::lower_bound(entries.begin(), entries.end(), address,
                               [](const Entry& e, int a) { return e.address < a; });
    return it != entries.end() && it->address == address ? it->line : -1;
}

std::vector<uint8_t> ProgramImage::download() const
{
    if (length <= 0 || length >= Capacity)
        return {};
    return {bytes.begin(), bytes.begin() + length + 1};
}

namespace {

bool isLineInstruction(const ProgramCell& c, uint8_t n)
{
    return c.inUse() && c.code[0] == Category::Instruction && c.code[1] == InstrList::LineStart &&
           c.code[2] == n;
}

class Checker {
  public:
    explicit Checker(BehaviorProgram& p) : p_(p) {}

    CheckResult run()
    {
        p_.labelTable.clear();
        p_.nameTable.clear();
        for (int l = 0; l < p_.count(); ++l)
            for (auto& c : p_.line(l).cells)
                c.flags &= static_cast<uint16_t>(~CellFlag::Error);
        if (p_.count() < 1)
            return {false, 0, {{-1, -1, Problem::NoStart}}};

        bool endFound = false;
        for (int l = 0; l < p_.count() && !endFound; ++l) {
            int b = 0;
            if (started_ && p_.line(l).active()) {
                b = checkBody(l);
                if (stopped_)
                    return result(false);
            }
            if (b >= CellsPerLine)
                continue;
            const ProgramCell& c = p_.cell(l, b);
            if (!c.inUse() || c.code[0] != Category::Instruction)
                continue;
            if (c.code[2] == Instr::Start) {
                if (!p_.line(l).label.empty())
                    ++labelCount_;
                if (started_)
                    mark(l, b, Problem::SecondStart);
                else
                    started_ = true;
            } else if (c.code[2] == Instr::End) {
                if (started_)
                    endFound = true;
                else
                    mark(l, b, Problem::EndBeforeStart);
            }
        }
        if (!started_)
            problems_.push_back({-1, -1, Problem::NoStart});
        else if (!endFound)
            problems_.push_back({-1, -1, Problem::NoEnd});
        if (!started_ || !endFound || errors_ > 0)
            return result(false);
        return labelPass();
    }

  private:
    CheckResult result(bool ok) const { return {ok, errors_, problems_}; }
    void mark(int l, int i, Problem why)
    {
        if (i >= 0 && i < CellsPerLine)
            p_.cell(l, i).flags |= CellFlag::Error;
        ++errors_;
        problems_.push_back({l, i, why});
    }
    void markAndStop(int l, int i, Problem why)
    {
        mark(l, i, why);
        stopped_ = true;
    }
    bool inUse(int l, int i) const { return i >= 0 && i < CellsPerLine && p_.cell(l, i).inUse(); }

    void addName(int l, int i, const std::string& name)
    {
        if (p_.nameTable.find(name) >= 0)
            return;
        if (p_.nameTable.count() >= NameTable::Capacity) {
            markAndStop(l, i, Problem::TooManyNames);
            return;
        }
        p_.nameTable.names.push_back(name);
    }

    // `owner` is the instruction cell; it carries the mark when the operand lies past the last cell.
    void checkOperand(int l, int i, bool destination, int owner)
    {
        if (i >= CellsPerLine) {
            mark(l, owner, Problem::OperandMissing);
            return;
        }
        ProgramCell& x = p_.cell(l, i);
        if (!x.inUse()) {
            mark(l, i, Problem::OperandMissing);
            return;
        }
        switch (x.kind()) {
        case NotChosen:
            mark(l, i, Problem::OperandNotChosen);
            break;
        case Kind::Controller:
            if (x.entry < Entry::ControllerFirst || x.entry > Entry::ControllerLast)
                mark(l, i, Problem::NotControllerRegister);
            break;
        case Kind::Device:
            if (x.mask() == 1) {
                addName(l, i, x.text);
            } else if (x.mask() == 2) {
                addName(l, i, x.idName);
            } else if (x.mask() == 3) {
                addName(l, i, x.idName);
                if (!stopped_)
                    addName(l, i, x.text);
            }
            break;
        case Kind::Name:
            addName(l, i, x.text);
            break;
        case Kind::Number:
            if (destination)
                mark(l, i, Problem::NumberAsDestination);
            break;
        default:
            break;
        }
    }

    // Steps through a line after START; returns the cell where START/END is looked up.
    int checkBody(int l)
    {
        ProgramLine& line = p_.line(l);
        if (!line.label.empty())
            ++labelCount_;
        const ProgramCell& c0 = line.cells[0];
        if (c0.code[2] == NotChosen) {
            mark(l, 0, Problem::InstructionNotChosen);
            return 0;
        }
        int b = 0;
        if (c0.isInstruction(Instr::If) || c0.isInstruction(Instr::ElseIf) ||
            c0.isInstruction(Instr::ContIf)) {
            const uint8_t head = c0.code[2];
            if (head == Instr::If) {
                if (continued_) {
                    markAndStop(l, 0, Problem::IfInsideCondition);
                    return 0;
                }
                ifOpen_ = true;
            } else if (head == Instr::ElseIf) {
                if (!ifOpen_ || continued_) {
                    markAndStop(l, 0, continued_ ? Problem::IfInsideCondition : Problem::ElseIfWithoutIf);
                    return 0;
                }
            } else if (!continued_) {
                markAndStop(l, 0, Problem::ContinuedIfAlone);
                return 0;
            }
            checkOperand(l, 1, false, 0);
            if (stopped_)
                return 0;
            if (line.cells[2].code[1] == NotChosen)
                mark(l, 2, Problem::ComparisonNotChosen);
            const ProgramCell& right = line.cells[3];
            if (right.kind() == NotChosen) {
                if (right.role() != Role::Button)
                    mark(l, 3, Problem::OperandNotChosen);
            } else {
                checkOperand(l, 3, false, 0);
                if (stopped_)
                    return 0;
            }
            const ProgramCell& conn = line.cells[4];
            const uint8_t k = conn.code[1];
            if (!conn.inUse() || conn.code[0] != Category::Connective ||
                (k != Conn::Then && k != Conn::And && k != Conn::Or)) {
                markAndStop(l, 4, Problem::ConnectiveMissing);
                return 0;
            }
            continued_ = k != Conn::Then;
            b = 5;
        }
        if (inUse(l, b) && line.cells[b].isInstruction(Instr::Else)) {
            if (!ifOpen_ || continued_) {
                markAndStop(l, b, continued_ ? Problem::IfInsideCondition : Problem::ElseWithoutIf);
                return 0;
            }
            ifOpen_ = false;
            ++b;
        }
        if (!inUse(l, b))
            return b;
        const ProgramCell& instr = line.cells[b];
        if (instr.code[2] == NotChosen || instr.code[0] != Category::Instruction) {
            markAndStop(l, b, Problem::InstructionNotChosen);
            return b;
        }
        const int f = b + 1, e = b + 2;
        switch (instr.code[2]) {
        case Instr::Load:
            checkOperand(l, f, true, b);
            if (!stopped_)
                checkOperand(l, e, false, b);
            return e;
        case Instr::Compute:
            checkOperand(l, f, true, b);
            if (!stopped_)
                checkOperand(l, e, false, b);
            if (!stopped_) {
                if (b + 3 >= CellsPerLine)
                    mark(l, b, Problem::OperandMissing);
                else if (line.cells[b + 3].code[1] == NotChosen)
                    mark(l, b + 3, Problem::OperatorNotChosen);
                checkOperand(l, b + 4, false, b);
            }
            return b + 4;
        case Instr::Jump:
        case Instr::Call:
            if (f >= CellsPerLine)
                mark(l, b, Problem::JumpWithoutLabel);
            else if (line.cells[f].text.empty())
                mark(l, f, Problem::JumpWithoutLabel);
            return f;
        default:
            return b;
        }
    }

    CheckResult labelPass()
    {
        if (labelCount_ == 0)
            return result(true);
        int address = 0;
        bool inLine = false;
        for (int l = 0; l < p_.count(); ++l) {
            ProgramLine& line = p_.line(l);
            if (line.active()) {
                const bool isStart = line.cells[0].inUse() && line.cells[0].isInstruction(Instr::Start);
                if (isStart)
                    inLine = true;
                if (inLine) {
                    if (!line.label.empty()) {
                        if (p_.labelTable.find(line.label) >= 0) {
                            line.cells[0].flags |= CellFlag::Error;
                            problems_.push_back({l, 0, Problem::DuplicateLabel});
                            return result(false);
                        }
                        p_.labelTable.labels.push_back({line.label, address});
                    }
                    for (const auto& c : line.cells) {
                        if (!c.inUse())
                            break;
                        address += c.isOperand() ? 3 : 1;
                    }
                }
            }
            // The generator stops at the first END after START whatever the line's flags, so the
            // addresses must stop there too: a label past it would point outside the image.
            if (isLineInstruction(line.cells[0], Instr::End))
                break;
        }
        return result(true);
    }

    BehaviorProgram& p_;
    int errors_ = 0;
    std::vector<CheckProblem> problems_;
    bool started_ = false;
    bool ifOpen_ = false;
    bool continued_ = false;
    bool stopped_ = false;
    int labelCount_ = 0;
};

class Generator {
  public:
    Generator(BehaviorProgram& p, const CommandCatalogue& cat) : p_(p), cat_(cat), img_(p.image) {}

    GenerateResult run()
    {
        img_.bytes.fill(0xFF);
        img_.length = 0;
        p_.lineTable.clear();
        n_ = 0;
        bool started = false;
        for (int l = 0; l < p_.count(); ++l) {
            const ProgramLine& line = p_.line(l);
            if (isLineInstruction(line.cells[0], Instr::Start))
                started = true;
            else if (!started)
                continue;
            if (line.active()) {
                const int address = n_;
                for (int i = 0; i < CellsPerLine && line.cells[i].inUse(); ++i) {
                    if (!encode(l, i))
                        return fail();
                }
                if (n_ > address)
                    p_.lineTable.entries.push_back({l, address});
            }
            if (isLineInstruction(line.cells[0], Instr::End))
                break;
        }
        if (n_ == 0) {
            result_.error = GenerateError::Empty;
            return fail();
        }
        unsigned sum = 0;
        for (int i = 0; i < n_; ++i)
            sum += img_.bytes[static_cast<size_t>(i)];
        img_.bytes[static_cast<size_t>(n_)] = static_cast<uint8_t>(sum & 0xFF);
        img_.length = n_;
        result_.ok = true;
        return result_;
    }

  private:
    GenerateResult fail()
    {
        img_.bytes.fill(0xFF);
        img_.length = 0;
        p_.lineTable.clear();
        result_.ok = false;
        return result_;
    }

    bool refuse(int l, int i, GenerateError e)
    {
        p_.cell(l, i).flags |= CellFlag::Error;
        result_.error = e;
        result_.line = l;
        result_.cell = i;
        return false;
    }

    // Room for `size` more bytes and the checksum after them.
    bool room(int l, int i, int size)
    {
        if (n_ + size + 1 <= ProgramImage::Capacity)
            return true;
        result_.needed = n_ + size + 1;
        result_.error = GenerateError::TooLarge;
        result_.line = l;
        result_.cell = i;
        return false;
    }

    bool emit1(int l, int i, int b)
    {
        if (!room(l, i, 1))
            return false;
        img_.bytes[static_cast<size_t>(n_++)] = static_cast<uint8_t>(b);
        return true;
    }

    bool emit3(int l, int i, int type, int lo, int hi)
    {
        if (!room(l, i, 3))
            return false;
        img_.bytes[static_cast<size_t>(n_++)] = static_cast<uint8_t>(type);
        img_.bytes[static_cast<size_t>(n_++)] = static_cast<uint8_t>(lo);
        img_.bytes[static_cast<size_t>(n_++)] = static_cast<uint8_t>(hi);
        return true;
    }

    bool emitWord(int l, int i, int type, int32_t v) { return emit3(l, i, type, v & 0xFF, (v >> 8) & 0xFF); }

    bool encode(int l, int i)
    {
        const ProgramCell& c = p_.cell(l, i);
        if (c.code[0] <= Category::Connective) {
            if (!cat_.valid(c.entry))
                return refuse(l, i, GenerateError::BadCell);
            return emit1(l, i, cat_.code(c.entry));
        }
        if (c.code[0] != Category::Operand)
            return refuse(l, i, GenerateError::BadCell);

        switch (c.role()) {
        case Role::Label: {
            int k = p_.labelTable.find(c.text);
            if (k < 0)
                return refuse(l, i, GenerateError::LabelNotFound);
            return emitWord(l, i, 4, p_.labelTable.labels[static_cast<size_t>(k)].address);
        }
        case Role::Button:
        case Role::Remocon:
            return emitWord(l, i, 4, c.value);
        default:
            break;
        }
        const NameTable& names = p_.nameTable;
        switch (c.kind()) {
        case Kind::Device: {
            int idName = -1, addrName = -1;
            if (c.mask() & 2) {
                idName = names.find(c.idName);
                if (idName < 0)
                    return refuse(l, i, GenerateError::BadCell);
            }
            if (c.mask() & 1) {
                addrName = names.find(c.text);
                if (addrName < 0)
                    return refuse(l, i, GenerateError::BadCell);
            }
            switch (c.mask()) {
            case 0:
                return emit3(l, i, 0, c.id & 0xFF, c.value & 0xFF);
            case 1:
                return emit3(l, i, 1, c.id & 0xFF, addrName);
            case 2:
                return emit3(l, i, 2, idName, c.value & 0xFF);
            case 3:
                return emit3(l, i, 3, idName, addrName);
            default:
                return refuse(l, i, GenerateError::BadCell);
            }
        }
        case Kind::Controller:
            if (!cat_.valid(c.entry))
                return refuse(l, i, GenerateError::BadCell);
            return emit3(l, i, 0, c.id & 0xFF, cat_.code(c.entry) & 0xFF);
        case Kind::Number:
            return emitWord(l, i, 4, c.value);
        case Kind::Name: {
            int k = names.find(c.text);
            if (k < 0)
                return refuse(l, i, GenerateError::BadCell);
            return emitWord(l, i, 5, k);
        }
        default:
            return refuse(l, i, GenerateError::BadCell);
        }
    }

    BehaviorProgram& p_;
    const CommandCatalogue& cat_;
    ProgramImage& img_;
    int n_ = 0;
    GenerateResult result_;
};

} // namespace

CheckResult checkRules(BehaviorProgram& program)
{
    return Checker(program).run();
}

GenerateResult generateImage(BehaviorProgram& program, const CommandCatalogue& catalogue)
{
    return Generator(program, catalogue).run();
}

BuildResult buildProgram(BehaviorProgram& program)
{
    BuildResult r;
    r.check = checkRules(program);
    if (r.check.ok) {
        r.generate = generateImage(program, CommandCatalogue::instance());
        r.ok = r.generate.ok;
        if (r.ok)
            r.bytes = program.image.download();
    }
    r.message = composeBuildMessage(r.check, r.check.ok ? &r.generate : nullptr);
    return r;
}

} // namespace behaviour

namespace behaviour {

const char* problemText(Problem p)
{
    switch (p) {
    case Problem::NoStart:
        return "The program has no START line.";
    case Problem::NoEnd:
        return "The program has no END line after START.";
    case Problem::SecondStart:
        return "A second START: a program has only one.";
    case Problem::EndBeforeStart:
        return "END comes before START.";
    case Problem::InstructionNotChosen:
        return "No instruction is chosen here.";
    case Problem::IfInsideCondition:
        return "The condition before goes on with AND or OR, so this line must be a continued IF.";
    case Problem::ElseIfWithoutIf:
        return "ELSE IF without an IF before it.";
    case Problem::ContinuedIfAlone:
        return "A continued IF needs a condition ending in AND or OR before it.";
    case Problem::ElseWithoutIf:
        return "ELSE without an IF before it.";
    case Problem::ComparisonNotChosen:
        return "No comparison is chosen.";
    case Problem::OperatorNotChosen:
        return "No arithmetic operator is chosen.";
    case Problem::ConnectiveMissing:
        return "The condition must end in THEN, AND or OR.";
    case Problem::OperandMissing:
        return "An operand is missing.";
    case Problem::OperandNotChosen:
        return "The operand is not set.";
    case Problem::NotControllerRegister:
        return "This is not a KZ-7 register.";
    case Problem::NumberAsDestination:
        return "A number cannot receive a value: the destination must be a register or a name.";
    case Problem::TooManyNames:
        return "Too many names: a program holds at most 50.";
    case Problem::JumpWithoutLabel:
        return "No label is given to go to.";
    case Problem::DuplicateLabel:
        return "This label is used by an earlier line too.";
    case Problem::LabelNotFound:
        return "No line carries this label.";
    case Problem::NothingToEncode:
        return "There is nothing to send after START.";
    case Problem::TooLarge:
        return "The program is too large for the controller's program memory.";
    case Problem::CannotEncode:
        return "This cell cannot be turned into controller code.";
    }
    return "";
}

std::vector<CheckProblem> buildProblems(const BuildResult& r)
{
    if (!r.check.ok)
        return r.check.problems;
    switch (r.generate.error) {
    case GenerateError::None:
        return {};
    case GenerateError::LabelNotFound:
        return {{r.generate.line, r.generate.cell, Problem::LabelNotFound}};
    case GenerateError::Empty:
        return {{r.generate.line, r.generate.cell, Problem::NothingToEncode}};
    case GenerateError::TooLarge:
        return {{r.generate.line, r.generate.cell, Problem::TooLarge}};
    case GenerateError::BadCell:
        return {{r.generate.line, r.generate.cell, Problem::CannotEncode}};
    }
    return {};
}

} // namespace behaviour
