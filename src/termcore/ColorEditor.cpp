#include "termcore/ColorEditor.h"

#include <algorithm>

namespace termcore {

namespace {
int32_t& field(Rgb& c, ColorEditor::Component component)
{
    switch (component) {
    case ColorEditor::Component::Red:
        return c.red;
    case ColorEditor::Component::Green:
        return c.green;
    case ColorEditor::Component::Blue:
        break;
    }
    return c.blue;
}
} // namespace

int ColorEditor::component(Component component) const
{
    Rgb c = edited();
    return field(c, component);
}

int ColorEditor::scroll(Component component, Step step, int trackPosition)
{
    Rgb& c = target_ == Target::Background ? background_ : text_;
    int32_t& value = field(c, component);
    // Stored colours may hold anything; the dialog works on their low byte.
    int v = value & 0xFF;
    switch (step) {
    case Step::LineLeft:
        v -= 1;
        break;
    case Step::LineRight:
        v += 1;
        break;
    case Step::PageLeft:
        v -= 10;
        break;
    case Step::PageRight:
        v += 10;
        break;
    case Step::Track:
        v = trackPosition;
        break;
    case Step::Other:
        return value;
    }
    value = std::clamp(v, 0, 255);
    return value;
}

} // namespace termcore
