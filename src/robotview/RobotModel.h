#pragma once
// One window's robot: the profile's joints with their target and displayed values, and the
// scene read from the profile's .x model file as a frame tree with meshes. A joint value turns
// the joint's frame about its local Z axis in bounded, incremental steps.
//
// Failure in this library: bool, with the reason in a std::string* error.

#include "motion/RobotProfile.h"
#include "robotview/Mat4.h"

#include <cstdint>
#include <string>
#include <vector>

namespace robotview {

// One joint unit in radians: 300 degrees over 1024 units.
constexpr float kJointUnit = 0.0051132683f;
// The most a joint's displayed value moves in one animation step.
constexpr int kMaxStepUnits = 50;

struct Material {
    std::array<float, 4> diffuse{0.1f, 0.1f, 0.1f, 0.1f};
    std::array<float, 4> ambient{0.1f, 0.1f, 0.1f, 0.1f};
    std::array<float, 3> specular{0, 0, 0};
    std::array<float, 3> emissive{0, 0, 0};
    float power = 0;
    std::string texturePath; // resolved like the model file; empty when none or not found
};

// Vertices in our world's frame-local coordinates: 3 floats position, 3 normal, 2 texture.
struct Mesh {
    std::vector<float> vertices;
    std::vector<std::uint32_t> indices; // triangles
    int material = -1;                  // index into materials(), -1 for the default material
    static constexpr int kFloatsPerVertex = 8;
};

struct Frame {
    std::string name;
    Mat4 local;              // our convention; joint turns accumulate here
    std::vector<int> meshes; // indices into meshes()
    int parent = -1;
    int firstChild = -1;
    int nextSibling = -1;
};

class RobotModel {
  public:
    // Reads the profile at profilePath, then its model file (the name as written, resolved
    // against the profile's folder, else its bare file name there), then binds every joint to the
    // first frame named "ID_<id>" (depth-first, ignoring case). On failure loaded() is false and
    // *error says why; a profile that was read keeps its joints so targets can still be set.
    bool load(const std::string& profilePath, std::string* error = nullptr);
    // A model read from profilePath, loaded or not (loadError() says why).
    static RobotModel read(const std::string& profilePath);
    // The same, starting from a profile already read.
    bool load(const motion::RobotProfile& profile, std::string* error = nullptr);
    bool loaded() const { return loaded_; }
    const std::string& loadError() const { return error_; }

    const motion::RobotProfile& profile() const { return profile_; }
    int jointCount() const { return profile_.jointCount(); }
    // Every joint with this bus ID moves towards value AND 0x3FF.
    void setJointTarget(int id, int value);
    int targetValue(int jointIndex) const;
    int displayedValue(int jointIndex) const;
    // The frame the joint turns, or -1 when the scene has none for its ID.
    int jointFrame(int jointIndex) const;

    // One animation step: every joint's displayed value moves up to 50 units towards its target,
    // and its frame turns by the same amount. Returns whether anything moved.
    bool step();
    // Whether some joint has not reached its target.
    bool moving() const;

    const Mat4& world() const { return world_; }
    void setWorld(const Mat4& world) { world_ = world; }
    void resetWorld() { world_ = Mat4::identity(); }

    const std::vector<Frame>& frames() const { return frames_; }
    const std::vector<Mesh>& meshes() const { return meshes_; }
    const std::vector<Material>& materials() const { return materials_; }
    // The first frame with this name (ignoring case) in depth-first order, or -1.
    int findFrame(const std::string& name) const;
    // world × every frame's parent chain, indexed like frames().
    void frameWorlds(std::vector<Mat4>& out) const;

  private:
    bool fail(const std::string& why, std::string* error);

    motion::RobotProfile profile_;
    std::vector<int> jointFrames_;
    std::vector<Frame> frames_; // depth-first order, root first
    std::vector<Mesh> meshes_;
    std::vector<Material> materials_;
    Mat4 world_ = Mat4::identity();
    bool loaded_ = false;
    std::string error_;
};

} // namespace robotview
