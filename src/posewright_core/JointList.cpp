#include "posewright_core/JointList.h"

#include "posewright_core/ValueText.h"

#include <cstdio>

namespace posewright {

void JointList::setProfile(const std::vector<std::pair<int, std::string>>& joints)
{
    joints_.clear();
    for (const auto& [id, name] : joints)
        joints_.push_back(Joint{id, name});
    pickedId_ = -1;
    editorIndex_ = -1;
    editorVisible_ = false;
}

bool JointList::setJoint(int id, bool present, bool known, int value)
{
    for (size_t i = 0; i < joints_.size(); ++i) {
        Joint& j = joints_[i];
        if (j.id != id)
            continue;
        j.present = present;
        if (present) {
            j.known = known;
            j.value = value;
        } else {
            j.selected = false;
        }
        // The editor shows the joint it is on; another joint's change must not overwrite it.
        if (present && known && static_cast<int>(i) == editorIndex_) {
            editorText_ = zeroPadded4(value);
            ++editorWrites_;
        }
        return true;
    }
    return false;
}

void JointList::setLive(bool live)
{
    live_ = live;
    if (!live) {
        for (Joint& j : joints_) {
            j.present = false;
            j.selected = false;
            j.hovered = false;
        }
        editorVisible_ = false;
    }
}

void JointList::setEnabled(bool enabled)
{
    enabled_ = enabled;
    if (!enabled)
        for (Joint& j : joints_)
            j.selected = false;
}

JointList::PressResult JointList::press(int x, int y, bool ctrl)
{
    PressResult r;
    if (!live_ || !enabled_)
        return r;
    for (size_t i = 0; i < joints_.size(); ++i) {
        Joint& j = joints_[i];
        if (!j.present)
            continue;
        const bool inside = cellRect(static_cast<int>(i)).contains(x, y);
        if (inside && !j.selected) {
            j.selected = true;
            r.changed = true;
        } else if (inside && ctrl) {
            j.selected = false;
            r.changed = true;
        } else if (!inside && !ctrl && j.selected) {
            j.selected = false;
            r.changed = true;
        }
    }
    int count = 0, only = -1;
    for (size_t i = 0; i < joints_.size(); ++i)
        if (joints_[i].selected) {
            ++count;
            only = static_cast<int>(i);
        }
    if (count == 1 && joints_[static_cast<size_t>(only)].known) {
        const Joint& j = joints_[static_cast<size_t>(only)];
        pickedId_ = j.id;
        editorIndex_ = only;
        editorText_ = zeroPadded4(j.value);
        ++editorWrites_;
        editorVisible_ = true;
        r.picked = true;
    } else {
        editorVisible_ = false;
        r.takeFocus = count != 1;
    }
    return r;
}

bool JointList::hover(int x, int y)
{
    bool changed = false;
    for (size_t i = 0; i < joints_.size(); ++i) {
        const bool inside = cellRect(static_cast<int>(i)).contains(x, y);
        changed = changed || joints_[i].hovered != inside;
        joints_[i].hovered = inside;
    }
    return changed;
}

bool JointList::leave()
{
    bool changed = false;
    for (Joint& j : joints_) {
        changed = changed || j.hovered;
        j.hovered = false;
    }
    return changed;
}

void JointList::focusLost()
{
    for (Joint& j : joints_)
        j.selected = false;
    editorVisible_ = false;
}

std::string JointList::selectedIds() const
{
    std::string text;
    for (const Joint& j : joints_)
        if (j.selected)
            text += " " + std::to_string(j.id);
    return text;
}

bool JointList::allPresentKnown() const
{
    for (const Joint& j : joints_)
        if (j.present && !j.known)
            return false;
    return true;
}

std::string JointList::cellText(const Joint& joint)
{
    if (!joint.present)
        return "N/A";
    if (!joint.known)
        return "????";
    return zeroPadded4(joint.value);
}

std::string JointList::label(int index) const
{
    const Joint& j = joints_.at(static_cast<size_t>(index));
    char id[16];
    std::snprintf(id, sizeof id, " %.2d  ", j.id);
    return id + j.name;
}

} // namespace posewright
