#pragma once
// The last eight files sent or captured, oldest first, each with its direction. The slots keep
// the raw 256-byte path fields of the configuration file so that a load and a save give back
// the same bytes, stale slots included.

#include <array>
#include <cstdint>
#include <string>

namespace termcore {

enum class FileKind : int { Transmitted = 0, Received = 1, Any = 2 };

class RecentFileList {
  public:
    static constexpr int kCapacity = 8;
    static constexpr int kPathSize = 256;
    static constexpr int kLabelSize = 256;
    static constexpr int kFirstCommand = 41001;
    static constexpr int kPlaceholderCommand = kFirstCommand - 1;

    using PathField = std::array<char, kPathSize>;

    // Makes path the newest entry of its kind (moving an existing identical entry to the top).
    // False when the path does not fit the 256-byte field; the list is then unchanged.
    bool add(const std::string& path, FileKind kind);
    bool remove(int index);
    // Index of the newest entry of the kind (Any: the newest entry), -1 when there is none.
    int newestOfKind(FileKind kind) const;
    // The entry of a submenu command, -1 for anything else.
    int commandToIndex(int command) const;
    static int indexToCommand(int index) { return kFirstCommand + index; }

    int count() const { return count_; }
    std::string path(int index) const;
    FileKind kind(int index) const;
    std::string label(int index) const;
    static std::string makeLabel(const std::string& path, FileKind kind);

    // Raw slot access for the configuration file.
    void setCount(int count);
    PathField& pathField(int index) { return paths_[static_cast<size_t>(index)]; }
    const PathField& pathField(int index) const { return paths_[static_cast<size_t>(index)]; }
    int32_t& kindField(int index) { return kinds_[static_cast<size_t>(index)]; }
    int32_t kindField(int index) const { return kinds_[static_cast<size_t>(index)]; }
    void rebuildLabels();

  private:
    std::array<PathField, kCapacity> paths_{};
    std::array<int32_t, kCapacity> kinds_{};
    std::array<std::string, kCapacity> labels_;
    int count_ = 0;
};

} // namespace termcore
