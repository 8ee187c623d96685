#pragma once
// The robot profile (.rbt) as the motion editor holds it: the 3D model file and the joints,
// each stored at the array position its index field names.

#include <string>
#include <string_view>
#include <vector>

namespace motion {

// Above this a joint or sensor count cannot describe a robot on one bus (IDs are 8-bit and
// 254/255 are reserved), so a larger count marks a damaged file rather than a big robot.
constexpr int kMaxProfileDevices = 253;

struct ProfileJoint {
    std::string name;
    int id = 0;
    int targetValue = 0;    // the value the drawn model moves towards
    int displayedValue = 0; // the value the drawn model shows now
    int initialValue = 0;   // the position given in the file
};

class RobotProfile {
  public:
    // Reads the profile at path. On failure the profile holds no joints and *error (if given)
    // says why: the system's reason when the file cannot be opened, or what is wrong with it.
    bool load(const std::string& path, std::string* error = nullptr);
    // Reads profile text; sourceFolder is where a relative model file name is looked up.
    bool parse(std::string_view text, std::string* error = nullptr, const std::string& sourceFolder = {});
    void clear();

    // The model file as written in the profile (relative to the profile's folder); empty when
    // line 1 names none, and the robot is then not drawn.
    const std::string& modelFile() const { return modelFile_; }
    bool hasModel() const { return !modelFile_.empty(); }
    // The model file resolved against the folder the profile was read from.
    std::string modelPath() const;
    const std::string& folder() const { return folder_; }

    int jointCount() const { return static_cast<int>(joints_.size()); }
    const std::vector<ProfileJoint>& joints() const { return joints_; }
    std::vector<ProfileJoint>& joints() { return joints_; }
    // Array position of the first joint with this bus ID, or -1.
    int indexOfId(int id) const;

  private:
    std::string modelFile_;
    std::string folder_;
    std::vector<ProfileJoint> joints_;
};

// Reads a whole profile file; false with the system's reason in *error.
bool readProfileFile(const std::string& path, std::string& text, std::string* error);

} // namespace motion
