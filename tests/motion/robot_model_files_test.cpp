// Our robots' profiles and their .x models as the 3D view will read them: every joint finds its
// frame, and turning a frame about its local Z axis moves the limb the documented way.

#include "motion/RobotProfile.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kRobotFolder = std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files";
constexpr float kUnit = 0.0051132683f;

bool sameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

aiNode* findFrame(aiNode* node, const std::string& name)
{
    if (sameName(node->mName.C_Str(), name))
        return node;
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        if (aiNode* hit = findFrame(node->mChildren[i], name))
            return hit;
    return nullptr;
}

aiMatrix4x4 worldOf(const aiNode* node)
{
    aiMatrix4x4 m = node->mTransformation;
    for (const aiNode* p = node->mParent; p; p = p->mParent)
        m = p->mTransformation * m;
    return m;
}

// The centre of all vertices of the node's meshes and of its descendants', in world space.
aiVector3D centreBelow(const aiScene* scene, const aiNode* node)
{
    aiVector3D sum(0, 0, 0);
    unsigned count = 0;
    std::function<void(const aiNode*)> walk = [&](const aiNode* n) {
        aiMatrix4x4 w = worldOf(n);
        for (unsigned i = 0; i < n->mNumMeshes; ++i) {
            const aiMesh* mesh = scene->mMeshes[n->mMeshes[i]];
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                sum += w * mesh->mVertices[v];
                ++count;
            }
        }
        for (unsigned i = 0; i < n->mNumChildren; ++i)
            walk(n->mChildren[i]);
    };
    walk(node);
    return count ? sum / static_cast<float>(count) : sum;
}

// Turns a joint frame by value units the way the 3D view does.
void turn(aiNode* frame, int units)
{
    aiMatrix4x4 r;
    frame->mTransformation = frame->mTransformation * aiMatrix4x4::RotationZ(units * kUnit, r);
}

class ModelFileTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(profile.load(kRobotFolder + "/" + GetParam(), &error)) << error;
        scene = importer.ReadFile(profile.modelPath(), aiProcess_Triangulate | aiProcess_GenNormals |
                                                           aiProcess_JoinIdenticalVertices |
                                                           aiProcess_ConvertToLeftHanded);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    }
    motion::RobotProfile profile;
    Assimp::Importer importer;
    const aiScene* scene = nullptr;
};

} // namespace

TEST_P(ModelFileTest, EveryJointFindsItsFrameAndTheMeshesHaveColours)
{
    ASSERT_GT(profile.jointCount(), 0);
    for (const auto& joint : profile.joints())
        EXPECT_NE(findFrame(scene->mRootNode, "ID_" + std::to_string(joint.id)), nullptr) << joint.name;
    EXPECT_GE(scene->mNumMeshes, static_cast<unsigned>(profile.jointCount()));
    std::set<std::tuple<int, int, int>> colours;
    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        aiColor4D c;
        if (scene->mMaterials[i]->Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS)
            colours.insert({int(c.r * 100), int(c.g * 100), int(c.b * 100)});
    }
    EXPECT_GE(colours.size(), 5u); // distinct parts in distinct colours

    std::ifstream in(profile.modelPath());
    std::stringstream text;
    text << in.rdbuf();
    const std::string body = text.str();
    EXPECT_EQ(body.rfind("xof 0303txt 0032", 0), 0u);
    // Numbers are written as 1.000000: no exponents, no decimal commas.
    EXPECT_FALSE(std::regex_search(body, std::regex("[0-9]e[-+]")));
    EXPECT_FALSE(std::regex_search(body, std::regex("[0-9],[0-9]{6}[;,]")));
}

INSTANTIATE_TEST_SUITE_P(OurRobots, ModelFileTest, ::testing::Values("default.rbt", "arm.rbt"));

TEST(HumanoidModelTest, LimbsTurnTheDocumentedWayAndPairsMirror)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(kRobotFolder + "/humanoid.x",
                                             aiProcess_Triangulate | aiProcess_ConvertToLeftHanded);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    aiNode* root = scene->mRootNode;
    auto frame = [&](int id) { return findFrame(root, "ID_" + std::to_string(id)); };

    struct Expectation {
        int id;
        aiVector3D direction; // where the limb below the joint goes for a higher value
    };
    // World: +Y up, the robot faces -Z, its right side is at -X.
    const Expectation right[] = {
        {1, {0, 0, -1}},  // shoulder pitch: arm forward
        {3, {-1, 0, 0}},  // shoulder roll: arm out sideways
        {5, {0, 0, -1}},  // elbow: forearm forward
        {9, {-1, 0, 0}},  // hip roll: leg out sideways
        {11, {0, 0, -1}}, // hip pitch: leg forward
        {13, {0, 0, 1}},  // knee: shin backward
    };
    for (const auto& e : right) {
        aiNode* f = frame(e.id);
        ASSERT_NE(f, nullptr);
        aiVector3D before = centreBelow(scene, f);
        turn(f, 60);
        aiVector3D moved = centreBelow(scene, f) - before;
        turn(f, -60);
        EXPECT_GT(moved * e.direction, 0.5f * moved.Length()) << "ID " << e.id;
    }
    // Left servos are mounted as mirror images: the same change of value in opposite senses
    // (v -> 1024 - v) gives a mirrored pose.
    for (int id = 1; id <= 17; id += 2) {
        aiNode* r = frame(id);
        aiNode* l = frame(id + 1);
        aiVector3D rb = centreBelow(scene, r);
        aiVector3D lb = centreBelow(scene, l);
        EXPECT_NEAR(rb.x, -lb.x, 0.01f) << "ID " << id; // the initial pose is symmetric
        EXPECT_NEAR(rb.y, lb.y, 0.01f);
        turn(r, 80);
        turn(l, -80);
        aiVector3D ra = centreBelow(scene, r);
        aiVector3D la = centreBelow(scene, l);
        EXPECT_GT((ra - rb).Length(), 0.1f) << "ID " << id; // a yaw barely moves the centre
        EXPECT_NEAR(ra.x, -la.x, 0.01f) << "ID " << id;
        EXPECT_NEAR(ra.y, la.y, 0.01f) << "ID " << id;
        EXPECT_NEAR(ra.z, la.z, 0.01f) << "ID " << id;
        turn(r, -80);
        turn(l, 80);
    }
}
