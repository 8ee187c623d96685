#pragma once
// The joint list's state without pixels: one cell per profile joint with its live value, the
// selection (Ctrl adds and removes), the hovered cell, and the value editor that opens on a
// joint picked alone. The widget paints this and passes the mouse and focus in.

#include <string>
#include <vector>

namespace posewright {

struct CellRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool contains(int x, int y) const
    {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
    bool operator==(const CellRect&) const = default;
};

class JointList {
  public:
    // Notification codes the list raises to the editor.
    enum Code { ValueEntered = 200, StepDown = 201, StepUp = 202, On = 203, Off = 204, Picked = 205 };

    struct Joint {
        int id = 0;
        std::string name;
        bool present = false;
        bool known = false;
        int value = 0;
        bool selected = false;
        bool hovered = false;
    };

    // What a left press did.
    struct PressResult {
        bool changed = false;   // selection changed: repaint
        bool picked = false;    // one known joint selected alone: the editor opened, raise 205
        bool takeFocus = false; // the list itself takes the focus (not exactly one selected)
    };

    void setProfile(const std::vector<std::pair<int, std::string>>& joints);
    const std::vector<Joint>& joints() const { return joints_; }

    // Rows start below the header, one per joint.
    static constexpr int kFirstRowTop = 20;
    static constexpr int kRowPitch = 20;
    static CellRect cellRect(int index) { return {160, kFirstRowTop + kRowPitch * index, 40, 18}; }
    static CellRect editorRect(int index) { return {160, kFirstRowTop + kRowPitch * index, 53, 19}; }

    // The controller reported joint id; the first joint with this ID takes it. False when the
    // profile has no such joint.
    bool setJoint(int id, bool present, bool known, int value);
    void setLive(bool live);
    void setEnabled(bool enabled);
    bool live() const { return live_; }
    bool enabled() const { return enabled_; }

    PressResult press(int x, int y, bool ctrl);
    // True when the hovered cell changed.
    bool hover(int x, int y);
    bool leave();
    // The focus went somewhere other than the value editor or the On/Off buttons.
    void focusLost();
    void hideEditor() { editorVisible_ = false; }

    // " %d" for each selected joint's ID in list order.
    std::string selectedIds() const;
    // False when some joint is present but its value is not known.
    bool allPresentKnown() const;
    int pickedId() const { return pickedId_; }
    bool editorVisible() const { return editorVisible_; }
    int editorIndex() const { return editorIndex_; }
    const std::string& editorText() const { return editorText_; }
    void setEditorText(std::string text) { editorText_ = std::move(text); }
    // Counts the controller's writes of the editor's text (and the editor's openings): the
    // widget replaces what is typed on each, even when the value did not change.
    int editorWrites() const { return editorWrites_; }

    // The text a cell shows: "%.4d", "????" or "N/A".
    static std::string cellText(const Joint& joint);
    std::string label(int index) const;

  private:
    std::vector<Joint> joints_;
    bool live_ = false;
    bool enabled_ = false;
    int pickedId_ = -1;
    int editorIndex_ = -1;
    bool editorVisible_ = false;
    std::string editorText_;
    int editorWrites_ = 0;
};

} // namespace posewright
