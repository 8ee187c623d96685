// The robot model: loading and binding, targets and the animation step, and the limbs of our
// two robots moving the way their servos do.

#include "robotview/RobotModel.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using robotview::Mat4;
using robotview::RobotModel;
using robotview::Vec3;

namespace {

const std::string kRobotFolder = std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files";

// A tiny scene: a root with two frames named ID_5 (only the first is a joint's frame) and a third
// frame whose name the test chooses, each with one triangle.
std::string scene(const std::string& thirdName)
{
    auto mesh = [](const char* name) {
        return std::string("    Mesh ") + name +
               " {\n      3;\n      0.000000;0.000000;0.000000;,\n      10.000000;0.000000;0.000000;,\n"
               "      0.000000;10.000000;0.000000;;\n      1;\n      3;0,1,2;;\n"
               "      MeshMaterialList {\n        1;\n        1;\n        0;\n        Material {\n"
               "          0.800000;0.200000;0.100000;1.000000;;\n          10.000000;\n"
               "          0.000000;0.000000;0.000000;;\n          0.000000;0.000000;0.000000;;\n"
               "        }\n      }\n    }\n";
    };
    auto matrix = [](const char* translation) {
        return std::string(
                   "    FrameTransformMatrix {\n      1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,"
                   "0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,") +
               translation + ",1.000000;;\n    }\n";
    };
    return "xof 0303txt 0032\n\nFrame Root {\n" + matrix("0.000000,0.000000,0.000000") + "  Frame ID_5 {\n" +
           matrix("10.000000,20.000000,30.000000") + mesh("First") + "  }\n  Frame ID_5 {\n" +
           matrix("-10.000000,0.000000,0.000000") + mesh("Second") + "  }\n  Frame " + thirdName + " {\n" +
           matrix("0.000000,-20.000000,0.000000") + mesh("Third") + "  }\n}\n";
}

// Two joints share ID 5; the third is ID 7.
const char* kProfile = "Model file:tiny.x\nNumber of joints:3\n0:5:Five:512\n1:5:Five again:0\n2:7:Seven:0\n";

class TinyModelTest : public ::testing::Test {
  protected:
    bool load(const std::string& thirdName, const std::string& profile = kProfile)
    {
        folder.write("tiny.x", scene(thirdName));
        return model.load(folder.write("tiny.rbt", profile), &error);
    }
    testsupport::TempFolder folder{"robotview-model"};
    RobotModel model;
    std::string error;
};

void expectNear(const Mat4& a, const Mat4& b, float tolerance)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.at(r, c), b.at(r, c), tolerance) << "element (" << r << ", " << c << ")";
}

} // namespace

TEST_F(TinyModelTest, FrameTreeKeepsNamesOrderAndMatrices)
{
    ASSERT_TRUE(load("Other")) << error;
    const auto& f = model.frames();
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].name, "Root");
    EXPECT_EQ(f[0].firstChild, 1);
    EXPECT_EQ(f[1].nextSibling, 2);
    EXPECT_EQ(f[2].nextSibling, 3);
    EXPECT_EQ(f[3].nextSibling, -1);
    EXPECT_EQ(f[3].name, "Other");
    // The file's translation (10, 20, 30) in our right-handed world.
    EXPECT_FLOAT_EQ(f[1].local.at(0, 3), 10);
    EXPECT_FLOAT_EQ(f[1].local.at(1, 3), 20);
    EXPECT_FLOAT_EQ(f[1].local.at(2, 3), -30);
    ASSERT_EQ(f[1].meshes.size(), 1u);
    const auto& mesh = model.meshes()[static_cast<size_t>(f[1].meshes[0])];
    EXPECT_EQ(mesh.indices.size(), 3u);
    ASSERT_GE(mesh.material, 0);
    EXPECT_NEAR(model.materials()[static_cast<size_t>(mesh.material)].diffuse[0], 0.8f, 1e-6f);
}

TEST_F(TinyModelTest, JointsBindToTheFirstFrameOfTheirIdIgnoringCase)
{
    struct Row {
        const char* thirdName;
        bool sevenBound;
    };
    const Row rows[] = {{"ID_7", true},   {"id_7", true},   {"Id_7", true},
                        {"ID_70", false}, {"ID_07", false}, {"XID_7", false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.thirdName);
        ASSERT_TRUE(load(r.thirdName)) << error;
        EXPECT_EQ(model.jointFrame(0), 1); // the first ID_5, depth first
        EXPECT_EQ(model.jointFrame(1), 1);
        EXPECT_EQ(model.jointFrame(2), r.sevenBound ? 3 : -1);
    }
}

TEST_F(TinyModelTest, TargetsAreMaskedToTenBitsAndStepFiftyUnitsAtATime)
{
    ASSERT_TRUE(load("ID_7")) << error;
    // 1200 AND 0x3FF = 176; from 512 that is 336 units: six steps of 50 and one of 36.
    model.setJointTarget(5, 1200);
    EXPECT_EQ(model.targetValue(0), 176);
    std::vector<int> shown;
    while (model.step())
        shown.push_back(model.displayedValue(0));
    EXPECT_EQ(shown, (std::vector<int>{462, 412, 362, 312, 262, 212, 176}));

    struct Row {
        int value, masked;
    };
    for (Row r : {Row{-1, 1023}, Row{1024, 0}, Row{1023, 1023}, Row{0x7FFF, 1023}, Row{2048 + 5, 5}}) {
        model.setJointTarget(7, r.value);
        EXPECT_EQ(model.targetValue(2), r.masked) << r.value;
    }
    // Other IDs are left alone.
    EXPECT_EQ(model.targetValue(0), 176);
}

TEST_F(TinyModelTest, FullSweepTakesTwentyOneStepsAndTurnsThreeHundredDegreesLessOneUnit)
{
    ASSERT_TRUE(load("ID_7")) << error;
    const Mat4 before = model.frames()[3].local;
    model.setJointTarget(7, 1023);
    int steps = 0;
    while (model.step())
        ++steps;
    EXPECT_EQ(steps, 21); // 20 × 50 + 23
    EXPECT_EQ(model.displayedValue(2), 1023);
    EXPECT_FALSE(model.moving());
    // The incremental turns add up to 1023 × 300/1024 degrees about the frame's own Z axis.
    const float total = 1023.0f * 300.0f / 1024.0f * std::numbers::pi_v<float> / 180.0f;
    expectNear(model.frames()[3].local, before * Mat4::rotationZ(total), 1e-4f);
    // ...and back again to where it started.
    model.setJointTarget(7, 0);
    while (model.step())
        ;
    expectNear(model.frames()[3].local, before, 1e-4f);
}

TEST_F(TinyModelTest, TwoJointsWithOneIdFollowOneCall)
{
    ASSERT_TRUE(load("ID_7")) << error;
    model.setJointTarget(5, 600);
    EXPECT_EQ(model.targetValue(0), 600);
    EXPECT_EQ(model.targetValue(1), 600);
    for (int i = 0; i < 12; ++i)
        model.step();
    EXPECT_EQ(model.displayedValue(0), 600);
    EXPECT_EQ(model.displayedValue(1), 600);
}

TEST_F(TinyModelTest, ResetWorldLeavesJointsWhereTheyAre)
{
    ASSERT_TRUE(load("ID_7")) << error;
    model.setJointTarget(7, 100);
    model.step();
    const Mat4 turned = model.frames()[3].local;
    model.setWorld(Mat4::translation({1, 2, 3}) * Mat4::rotationZ(1));
    model.resetWorld();
    EXPECT_EQ(model.world(), Mat4::identity());
    EXPECT_EQ(model.displayedValue(2), 50);
    EXPECT_EQ(model.targetValue(2), 100);
    EXPECT_EQ(model.frames()[3].local, turned);
    std::vector<Mat4> worlds;
    model.frameWorlds(worlds);
    EXPECT_EQ(worlds[3], turned); // the root frame is the identity
}

TEST_F(TinyModelTest, FailuresSayWhyAndKeepTheJoints)
{
    struct Row {
        const char* what;
        std::string profile;
        std::string sceneText; // empty: no model file written
        const char* reasonContains;
    };
    const Row rows[] = {
        {"no model file", "Model file:missing.x\nNumber of joints:1\n0:5:Five:512\n", "", "missing.x"},
        {"unreadable scene", "Model file:bad.x\nNumber of joints:1\n0:5:Five:512\n",
         "xof 0303txt 0032\nFrame {{{", "could not be read"},
        {"profile names no model", "Model file\nNumber of joints:1\n0:5:Five:512\n", "", "no model"},
        {"a mesh claiming two billion vertices", "Model file:bad.x\nNumber of joints:1\n0:5:Five:512\n",
         [] {
             std::string s = scene("Third");
             return s.replace(s.find("      3;\n"), 9, "      2000000000;\n");
         }(),
         "claims 2000000000 elements"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        if (!r.sceneText.empty())
            folder.write("bad.x", r.sceneText);
        RobotModel m;
        std::string why;
        EXPECT_FALSE(m.load(folder.write("p.rbt", r.profile), &why));
        EXPECT_FALSE(m.loaded());
        EXPECT_NE(why.find(r.reasonContains), std::string::npos) << why;
        EXPECT_EQ(m.loadError(), why);
        // Targets may still be set; without a scene they move nothing drawn.
        ASSERT_EQ(m.jointCount(), 1);
        m.setJointTarget(5, 600);
        EXPECT_EQ(m.targetValue(0), 600);
        EXPECT_TRUE(m.step());
        EXPECT_EQ(m.jointFrame(0), -1);
    }
    RobotModel none;
    std::string why;
    EXPECT_FALSE(none.load(folder.file("absent.rbt"), &why));
    EXPECT_NE(why.find("absent.rbt"), std::string::npos) << why;
}

TEST_F(TinyModelTest, ModelFileFallsBackToItsBareNameBesideTheProfile)
{
    folder.write("tiny.x", scene("ID_7"));
    const std::string profile = "Model file:..\\old place\\tiny.x\nNumber of joints:1\n0:7:Seven:0\n";
    ASSERT_TRUE(model.load(folder.write("tiny.rbt", profile), &error)) << error;
    EXPECT_EQ(model.jointFrame(0), 3);
}

namespace {

// The world point p on the limb below the joint, after the joint's value changes by units.
Vec3 movedPoint(RobotModel& model, int jointIndex, int units, const Vec3& offsetFromJoint)
{
    std::vector<Mat4> before, after;
    model.frameWorlds(before);
    const int frame = model.jointFrame(jointIndex);
    const Mat4& w = before[static_cast<size_t>(frame)];
    const Vec3 origin{w.at(0, 3), w.at(1, 3), w.at(2, 3)};
    const Vec3 p = origin + offsetFromJoint;
    // Into the frame's coordinates (the frames are rigid: the inverse rotation is the transpose).
    Mat4 inverse = w.transposed();
    inverse.at(3, 0) = inverse.at(3, 1) = inverse.at(3, 2) = 0;
    const Vec3 local = inverse.transformDirection(p - origin);
    const int id = model.profile().joints()[static_cast<size_t>(jointIndex)].id;
    model.setJointTarget(id, model.displayedValue(jointIndex) + units);
    while (model.step())
        ;
    model.frameWorlds(after);
    const Vec3 moved = after[static_cast<size_t>(frame)].transformPoint(local);
    model.setJointTarget(id, model.displayedValue(jointIndex) - units);
    while (model.step())
        ;
    return moved - p;
}

struct Limb {
    const char* profile;
    int id;
    Vec3 offset; // a point on the limb, from the joint (our world: +Y up, front +Z, robot's right -X)
    Vec3 wanted; // where it goes for a higher value
};

const Vec3 kUp{0, 1, 0}, kDown{0, -1, 0}, kFront{0, 0, 1}, kBack{0, 0, -1}, kRight{-1, 0, 0}, kLeft{1, 0, 0};

const Limb kLimbs[] = {
    {"default.rbt", 1, kDown * 50, kFront},  // right shoulder pitch: arm forward
    {"default.rbt", 2, kDown * 50, kBack},   // left, mirrored: a higher value swings it back
    {"default.rbt", 3, kDown * 50, kRight},  // right shoulder roll: arm out sideways
    {"default.rbt", 4, kDown * 50, kRight},  // left: a higher value brings it in
    {"default.rbt", 5, kDown * 50, kFront},  // right elbow: forearm forward
    {"default.rbt", 7, kFront * 50, kRight}, // right hip yaw: toes turn outward
    {"default.rbt", 9, kDown * 50, kRight},  // right hip roll: leg out sideways
    {"default.rbt", 11, kDown * 50, kFront}, // right hip pitch: leg forward
    {"default.rbt", 13, kDown * 50, kBack},  // right knee: shin backward
    {"default.rbt", 14, kDown * 50, kFront}, // left knee, mirrored
    {"default.rbt", 15, kFront * 50, kUp},   // right ankle pitch: toe up
    {"arm.rbt", 1, kFront * 50, kRight},     // base turn
    {"arm.rbt", 3, kUp * 50, kFront},        // elbow: forearm forward
    {"arm.rbt", 4, kUp * 50, kRight},        // gripper tilts to the right
};

} // namespace

TEST(OurRobotsTest, LimbsMoveTheWayTheirServosDo)
{
    for (const Limb& limb : kLimbs) {
        SCOPED_TRACE(std::string(limb.profile) + " ID " + std::to_string(limb.id));
        RobotModel model;
        std::string error;
        ASSERT_TRUE(model.load(kRobotFolder + "/" + limb.profile, &error)) << error;
        const int joint = model.profile().indexOfId(limb.id);
        ASSERT_GE(joint, 0);
        ASSERT_GE(model.jointFrame(joint), 0);
        const Vec3 moved = movedPoint(model, joint, 80, limb.offset);
        EXPECT_GT(robotview::length(moved), 5.0f);
        EXPECT_GT(robotview::dot(moved, limb.wanted), 0.6f * robotview::length(moved))
            << moved.x << " " << moved.y << " " << moved.z;
    }
}

TEST(OurRobotsTest, EveryJointOfBothRobotsFindsItsFrame)
{
    for (const char* profile : {"default.rbt", "arm.rbt"}) {
        RobotModel model;
        std::string error;
        ASSERT_TRUE(model.load(kRobotFolder + "/" + profile, &error)) << error;
        for (int j = 0; j < model.jointCount(); ++j)
            EXPECT_GE(model.jointFrame(j), 0) << profile << " joint " << j;
        EXPECT_EQ(model.world(), Mat4::identity());
    }
}
