#include "motion/ScreenDecoder.h"

#include "motion/ScreenLayout.h"

#include <algorithm>
#include <optional>

namespace motion {

namespace {

constexpr uint8_t kBackspace = 8;

enum class Kind {
    Unknown,
    RepaintStart,
    CurrentJoint,
    CurrentPause,
    CurrentSpeed,
    PoseJoint,
    PosePause,
    PoseSpeed,
    PageName,
    PageNumber,
    DataAddress,
    PageInfoNumber,
    Ignored,
    StatusA,
    StatusB,
    SelectedPose,
    MessageText,
};

struct Field {
    Kind kind = Kind::Unknown;
    size_t width = 0; // characters of the value; for texts the maximum length
    bool emptyCheck = false;
    bool eraseCheck = false;
    int index = 0; // pose, joint ID or page-information index, by kind
};

// Which screen field sits at (row, column) on the controller's motion-edit screen.
Field classify(int row, int col)
{
    if (row == 1 && col == 1)
        return {Kind::RepaintStart};
    const FieldAt at = fieldAt(row, col);
    if (!at.layout) {
        // The rest of the page-attribute column carries nothing the editor mirrors.
        const FieldLayout& attributes = layoutOf(ScreenField::PlayCount);
        if (col == attributes.column && row >= 4 && row <= 20)
            return {Kind::Ignored, static_cast<size_t>(attributes.width), true};
        return {};
    }
    const auto width = static_cast<size_t>(at.layout->width);
    auto pageInfo = [&](PageInfo index) {
        return Field{Kind::PageInfoNumber, width, true, false, static_cast<int>(index)};
    };
    switch (at.layout->field) {
    case ScreenField::CurrentJoint:
        return {Kind::CurrentJoint, width, true, false, at.id};
    case ScreenField::PoseJoint:
        return {Kind::PoseJoint, width, true, true, at.pose};
    case ScreenField::Torque:
        return {Kind::Ignored, width, true, true};
    case ScreenField::CurrentPause:
        return {Kind::CurrentPause, width, true};
    case ScreenField::CurrentSpeed:
        return {Kind::CurrentSpeed, width, true};
    case ScreenField::PosePause:
        return {Kind::PosePause, width, true, false, at.pose};
    case ScreenField::PoseSpeed:
        return {Kind::PoseSpeed, width, true, false, at.pose};
    case ScreenField::PageName:
        return {Kind::PageName, width};
    case ScreenField::PageNumber:
        return {Kind::PageNumber, width};
    case ScreenField::DataAddress:
        return {Kind::DataAddress, width};
    case ScreenField::PlayCount:
        return pageInfo(PageInfo::PlayCount);
    case ScreenField::PoseCount:
        return pageInfo(PageInfo::PoseCount);
    case ScreenField::MotionSpeed:
        return pageInfo(PageInfo::MotionSpeed);
    case ScreenField::AccelTime:
        return pageInfo(PageInfo::AccelTime);
    case ScreenField::NextPage:
        return pageInfo(PageInfo::NextPage);
    case ScreenField::ExitPage:
        return pageInfo(PageInfo::ExitPage);
    case ScreenField::CursorColumn:
        return {Kind::StatusA, width};
    case ScreenField::CursorRow:
        return {Kind::StatusB, width};
    case ScreenField::PageBytes:
        return {Kind::Ignored, width};
    case ScreenField::SelectedPose:
        return {Kind::SelectedPose, width};
    case ScreenField::Message:
        // Read up to the decoder's own limit: a longer message is still the message.
        return {Kind::MessageText, ScreenDecoder::kMaxFieldText};
    }
    return {};
}

bool isSpace(uint8_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int digitValue(uint8_t c, int base)
{
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

// A number read the way the controller's fields have always been read (leading blanks, a sign,
// digits; hexadecimal allows a 0x prefix), from exactly the given bytes and nothing beyond.
std::optional<long long> parseNumber(const uint8_t* p, size_t n, int base, size_t* used = nullptr)
{
    size_t i = 0;
    while (i < n && isSpace(p[i]))
        ++i;
    bool negative = false;
    if (i < n && (p[i] == '+' || p[i] == '-')) {
        negative = p[i] == '-';
        ++i;
    }
    if (base == 16 && i + 2 < n && p[i] == '0' && (p[i + 1] == 'x' || p[i + 1] == 'X') &&
        digitValue(p[i + 2], 16) >= 0)
        i += 2;
    if (i >= n || digitValue(p[i], base) < 0)
        return std::nullopt;
    long long value = 0;
    for (; i < n && digitValue(p[i], base) >= 0; ++i)
        value = value * base + digitValue(p[i], base); // at most 12 digits: no overflow
    if (used)
        *used = i;
    return negative ? -value : value;
}

// Row and column from a complete header STX ESC "[row;colf" of headerLen bytes.
bool parseHeader(const uint8_t* h, size_t headerLen, int& row, int& col)
{
    if (headerLen < 7 || h[0] != ScreenDecoder::kStx || h[1] != ScreenDecoder::kEsc || h[2] != '[' ||
        h[headerLen - 1] != 'f')
        return false;
    // A bounded, terminated copy: nothing is ever read beyond the header.
    uint8_t copy[ScreenDecoder::kMaxHeader + 1] = {};
    std::copy(h, h + headerLen, copy);
    const uint8_t* end = copy + headerLen - 1; // the 'f'
    const uint8_t* semi = std::find(static_cast<const uint8_t*>(copy + 3), end, static_cast<uint8_t>(';'));
    if (semi == end)
        return false;
    // The row must run right up to ';'; after the column anything may stand before the 'f'.
    const size_t rowLen = static_cast<size_t>(semi - (copy + 3));
    size_t used = 0;
    auto r = parseNumber(copy + 3, rowLen, 10, &used);
    if (!r || used != rowLen)
        return false;
    auto c = parseNumber(semi + 1, static_cast<size_t>(end - (semi + 1)), 10);
    if (!c)
        return false;
    row = static_cast<int>(*r);
    col = static_cast<int>(*c);
    return true;
}

} // namespace

void ScreenDecoder::raise(const LinkEvent& event)
{
    if (handler_)
        handler_(event);
}

void ScreenDecoder::takeConsoleByte(uint8_t byte)
{
    std::string& m = screen_.message;
    if (byte == kBackspace) {
        if (!m.empty())
            m.pop_back();
    } else if (byte == '\n' || byte == '\r') {
        m.clear();
    } else if (byte >= 32 && byte <= 125) {
        if (m.size() >= kMaxMessage)
            m.erase(0, m.size() - kMaxMessage + 1);
        m.push_back(static_cast<char>(byte));
    }
    LinkEvent e;
    e.code = LinkEventCode::MessageChanged;
    e.text = m;
    raise(e);
}

void ScreenDecoder::feed(const uint8_t* data, size_t count)
{
    if (!pending_.empty()) {
        work_.assign(pending_);
        work_.append(reinterpret_cast<const char*>(data), count);
        pending_.clear();
        data = reinterpret_cast<const uint8_t*>(work_.data());
        count = work_.size();
    }
    size_t pos = 0;
    while (pos < count) {
        if (data[pos] != kStx) {
            takeConsoleByte(data[pos]);
            ++pos;
            continue;
        }
        if (decodeField(data, count, pos) == Step::NeedMore) {
            pending_.assign(reinterpret_cast<const char*>(data + pos), count - pos);
            break;
        }
    }
}

ScreenDecoder::Step ScreenDecoder::decodeField(const uint8_t* data, size_t count, size_t& pos)
{
    const size_t avail = count - pos;
    const uint8_t* h = data + pos;
    const size_t look = std::min(avail, kMaxHeader);
    const uint8_t* f = std::find(h, h + look, static_cast<uint8_t>('f'));
    if (f == h + look) {
        // No end of header yet: wait while what we have can still become one.
        bool plausible = avail < 2 || h[1] == kEsc;
        if (avail < kMaxHeader && plausible)
            return Step::NeedMore;
        ++pos; // a header longer than the limit, or none at all: costs one byte
        return Step::Consumed;
    }
    const size_t headerLen = static_cast<size_t>(f - h) + 1;
    int row = 0;
    int col = 0;
    if (!parseHeader(h, headerLen, row, col)) {
        ++pos;
        return Step::Consumed;
    }

    const Field field = classify(row, col);
    const size_t valueStart = pos + headerLen;
    const size_t rest = count - valueStart;
    const uint8_t* v = data + valueStart;

    if (field.kind == Kind::Unknown) {
        pos = valueStart;
        return Step::Consumed;
    }
    if (field.kind == Kind::RepaintStart) {
        screen_.selectedPose = -1;
        screen_.statusA = 0;
        screen_.statusB = 0;
        screen_.inEditScreen = true;
        const uint8_t* next = std::find(v, v + rest, kStx);
        pos = valueStart + static_cast<size_t>(next - v);
        LinkEvent e;
        e.code = LinkEventCode::EditScreenChanged;
        e.value = 1;
        e.present = true;
        raise(e);
        return Step::Consumed;
    }
    if (rest == 0)
        return Step::NeedMore; // the value follows in the next batch

    if (field.kind == Kind::PageName || field.kind == Kind::MessageText) {
        const size_t limit = std::min(rest, field.width);
        const size_t len = static_cast<size_t>(std::find(v, v + limit, kStx) - v);
        std::string text(reinterpret_cast<const char*>(v), len);
        pos = valueStart + len;
        LinkEvent e;
        if (field.kind == Kind::PageName) {
            screen_.pageName = text;
            screen_.pageNameReceived = true;
            e.code = LinkEventCode::PageInfoChanged;
            e.index = static_cast<int>(PageInfo::Name);
        } else {
            screen_.message = text;
            e.code = LinkEventCode::MessageChanged;
        }
        e.text = std::move(text);
        raise(e);
        return Step::Consumed;
    }

    if (field.emptyCheck && v[0] == kStx) {
        pos = valueStart; // an empty field: only its header was sent
        return Step::Consumed;
    }
    if (field.eraseCheck && v[0] == kBackspace) {
        pos = valueStart + std::min<size_t>(2, rest); // being erased: nothing changes
        return Step::Consumed;
    }
    // A new field inside the value means this one was cut short: drop it, keep the new one.
    const size_t seen = std::min(rest, field.width);
    if (const uint8_t* stx = std::find(v, v + seen, kStx); stx != v + seen) {
        pos = valueStart + static_cast<size_t>(stx - v);
        return Step::Consumed;
    }
    if (rest < field.width)
        return Step::NeedMore;
    pos = valueStart + field.width;

    LinkEvent e;
    if (field.kind == Kind::CurrentJoint || field.kind == Kind::PoseJoint) {
        const bool current = field.kind == Kind::CurrentJoint;
        const int joint = current ? field.index : row - 1;
        JointCell& cell =
            current ? screen_.current.joints[static_cast<size_t>(joint)]
                    : screen_.poses[static_cast<size_t>(field.index)].joints[static_cast<size_t>(joint)];
        size_t first = 0;
        while (first < field.width && v[first] == ' ')
            ++first;
        // The controller marks a cell with "-" or "?" in its first position; a right-aligned
        // marker (blanks first, no digit after it) means the same.
        auto markerIs = [&](uint8_t c) {
            return v[0] == c || (first < field.width && v[first] == c &&
                                 (first + 1 >= field.width || digitValue(v[first + 1], 10) < 0));
        };
        if (markerIs('-')) {
            cell.present = false;
        } else if (markerIs('?')) {
            cell.present = true;
            cell.known = false;
        } else if (auto n = parseNumber(v, field.width, 10)) {
            cell.present = cell.known = true;
            cell.value = static_cast<int>(*n);
        } else {
            return Step::Consumed; // not a joint value: nothing to show
        }
        e.code = current ? LinkEventCode::CurrentJointChanged : LinkEventCode::PoseJointChanged;
        if (current) {
            e.index = joint;
        } else {
            e.index = field.index;
            e.secondIndex = joint;
        }
        e.value = cell.value;
        e.present = cell.present;
        e.known = cell.known;
        raise(e);
        return Step::Consumed;
    }

    auto n = parseNumber(v, field.width, field.kind == Kind::DataAddress ? 16 : 10);
    if (!n)
        return Step::Consumed;
    const int value = static_cast<int>(static_cast<uint32_t>(*n));
    e.value = value;
    switch (field.kind) {
    case Kind::CurrentPause:
        screen_.current.pause = value;
        e.code = LinkEventCode::CurrentPauseChanged;
        break;
    case Kind::CurrentSpeed:
        screen_.current.speed = value;
        e.code = LinkEventCode::CurrentSpeedChanged;
        break;
    case Kind::PosePause:
        screen_.poses[static_cast<size_t>(field.index)].pause = value;
        e.code = LinkEventCode::PosePauseChanged;
        e.index = field.index;
        break;
    case Kind::PoseSpeed:
        screen_.poses[static_cast<size_t>(field.index)].speed = value;
        e.code = LinkEventCode::PoseSpeedChanged;
        e.index = field.index;
        break;
    case Kind::PageNumber:
    case Kind::DataAddress:
    case Kind::PageInfoNumber: {
        const int index = field.kind == Kind::PageNumber    ? static_cast<int>(PageInfo::Number)
                          : field.kind == Kind::DataAddress ? static_cast<int>(PageInfo::DataAddress)
                                                            : field.index;
        screen_.pageInfo[static_cast<size_t>(index)] = value;
        e.code = LinkEventCode::PageInfoChanged;
        e.index = index;
        break;
    }
    case Kind::StatusA:
        screen_.statusA = value;
        return Step::Consumed;
    case Kind::StatusB:
        screen_.statusB = value;
        return Step::Consumed;
    case Kind::SelectedPose:
        // The editor indexes its pose panels with this: anything but a pose means none.
        screen_.selectedPose = value >= 0 && value < kPoseCount ? value : -1;
        e.code = LinkEventCode::SelectedPoseChanged;
        e.value = screen_.selectedPose;
        break;
    default:
        return Step::Consumed; // fields kept by the controller only
    }
    raise(e);
    return Step::Consumed;
}

} // namespace motion
