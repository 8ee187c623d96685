#pragma once
// The working state of the colour dialog: two colours, one of them being edited, and the
// scroll-bar steps that change a component.

#include "termcore/TerminalConfig.h"

namespace termcore {

class ColorEditor {
  public:
    enum class Target { Background, Text };
    enum class Step { LineLeft, LineRight, PageLeft, PageRight, Track, Other };
    enum class Component { Red = 0, Green = 1, Blue = 2 };

    ColorEditor(Rgb background, Rgb text) : background_(background), text_(text) {}

    void select(Target target) { target_ = target; }
    Target target() const { return target_; }
    // Applies a scroll step to a component of the edited colour; returns the new value.
    int scroll(Component component, Step step, int trackPosition = 0);
    int component(Component component) const;
    Rgb background() const { return background_; }
    Rgb text() const { return text_; }
    Rgb edited() const { return target_ == Target::Background ? background_ : text_; }

  private:
    Rgb background_;
    Rgb text_;
    Target target_ = Target::Background;
};

} // namespace termcore
