#include "termcore/RecentFileList.h"

#include <algorithm>
#include <cstring>

namespace termcore {

namespace {
std::string fieldText(const RecentFileList::PathField& field)
{
    const char* end = static_cast<const char*>(std::memchr(field.data(), 0, field.size()));
    return std::string(field.data(), end ? static_cast<size_t>(end - field.data()) : field.size());
}
} // namespace

std::string RecentFileList::makeLabel(const std::string& path, FileKind kind)
{
    // The last two components: the text after the second-to-last separator. Both separators
    // count, so paths written on either system label the same way.
    std::string tail = path;
    size_t last = path.find_last_of("/\\");
    if (last != std::string::npos && last > 0) {
        size_t before = path.find_last_of("/\\", last - 1);
        if (before != std::string::npos)
            tail = path.substr(before + 1);
    }
    std::string label = (kind == FileKind::Received ? "Rx: " : "Tx: ") + tail;
    if (label.size() > kLabelSize - 1)
        label.resize(kLabelSize - 1);
    return label;
}

std::string RecentFileList::path(int index) const
{
    if (index < 0 || index >= count_)
        return {};
    return fieldText(paths_[static_cast<size_t>(index)]);
}

FileKind RecentFileList::kind(int index) const
{
    if (index < 0 || index >= count_)
        return FileKind::Transmitted;
    return kinds_[static_cast<size_t>(index)] == 1 ? FileKind::Received : FileKind::Transmitted;
}

std::string RecentFileList::label(int index) const
{
    if (index < 0 || index >= count_)
        return {};
    return labels_[static_cast<size_t>(index)];
}

void RecentFileList::setCount(int count)
{
    count_ = std::clamp(count, 0, kCapacity);
}

void RecentFileList::rebuildLabels()
{
    for (int i = 0; i < kCapacity; ++i)
        labels_[static_cast<size_t>(i)] = i < count_ ? makeLabel(path(i), kind(i)) : std::string();
}

bool RecentFileList::add(const std::string& path, FileKind kind)
{
    if (path.empty() || path.size() > kPathSize - 1 || path.find('\0') != std::string::npos)
        return false;
    const int32_t kindValue = kind == FileKind::Received ? 1 : 0;
    for (int i = 0; i < count_; ++i) {
        if (kinds_[static_cast<size_t>(i)] == kindValue && this->path(i) == path) {
            // Already listed: move it to the newest place, keeping its slot bytes and label.
            std::rotate(paths_.begin() + i, paths_.begin() + i + 1, paths_.begin() + count_);
            std::rotate(kinds_.begin() + i, kinds_.begin() + i + 1, kinds_.begin() + count_);
            std::rotate(labels_.begin() + i, labels_.begin() + i + 1, labels_.begin() + count_);
            return true;
        }
    }
    int slot = count_;
    if (count_ == kCapacity) {
        std::move(paths_.begin() + 1, paths_.end(), paths_.begin());
        std::move(kinds_.begin() + 1, kinds_.end(), kinds_.begin());
        std::move(labels_.begin() + 1, labels_.end(), labels_.begin());
        slot = kCapacity - 1;
    } else {
        ++count_;
    }
    PathField& field = paths_[static_cast<size_t>(slot)];
    field.fill(0);
    std::memcpy(field.data(), path.data(), path.size());
    kinds_[static_cast<size_t>(slot)] = kindValue;
    labels_[static_cast<size_t>(slot)] = makeLabel(path, kind);
    return true;
}

bool RecentFileList::remove(int index)
{
    if (index < 0 || index >= count_)
        return false;
    std::move(paths_.begin() + index + 1, paths_.begin() + count_, paths_.begin() + index);
    std::move(kinds_.begin() + index + 1, kinds_.begin() + count_, kinds_.begin() + index);
    std::move(labels_.begin() + index + 1, labels_.begin() + count_, labels_.begin() + index);
    --count_;
    return true;
}

int RecentFileList::newestOfKind(FileKind kind) const
{
    for (int i = count_ - 1; i >= 0; --i) {
        if (kind == FileKind::Any || this->kind(i) == kind)
            return i;
    }
    return -1;
}

int RecentFileList::commandToIndex(int command) const
{
    if (command >= kFirstCommand && command < kFirstCommand + count_)
        return command - kFirstCommand;
    return -1;
}

} // namespace termcore
