// The robot profile in both forms: the editor's joints stored by index and the programmer's
// device table, from well-formed, hand-written and damaged files.

#include "motion/DeviceTable.h"
#include "motion/RobotProfile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using motion::DeviceKind;
using motion::DeviceTable;
using motion::RobotProfile;

namespace {

const char* kThreeJoints = "Model:arm.x\r\n"
                           "Joints:3\r\n"
                           "0:1:Base:512\r\n"
                           "1:2:Shoulder left:300\r\n"
                           "2:3:Elbow:700\r\n"
                           "Sensors:2\r\n"
                           "0:100:Distance\r\n"
                           "1:101:Sound:extra:fields\r\n";

} // namespace

TEST(RobotProfileTest, ReadsModelAndJointsWithWindowsLineEnds)
{
    RobotProfile p;
    std::string error;
    ASSERT_TRUE(p.parse(kThreeJoints, &error)) << error;
    EXPECT_EQ(p.modelFile(), "arm.x");
    ASSERT_EQ(p.jointCount(), 3);
    EXPECT_EQ(p.joints()[1].id, 2);
    EXPECT_EQ(p.joints()[1].name, "Shoulder left"); // blanks belong to the name, CR does not
    EXPECT_EQ(p.joints()[2].name, "Elbow");
    for (const auto& j : p.joints()) {
        EXPECT_EQ(j.targetValue, j.initialValue);
        EXPECT_EQ(j.displayedValue, j.initialValue);
    }
    EXPECT_EQ(p.joints()[2].initialValue, 700);
    EXPECT_EQ(p.indexOfId(3), 2);
    EXPECT_EQ(p.indexOfId(42), -1);
}

TEST(RobotProfileTest, StoresJointsByIndexFieldAndAcceptsBareLineFeeds)
{
    RobotProfile p;
    ASSERT_TRUE(p.parse("m::robot.x\nn:::3\n2:30:C:3\n0:10:A:1\n1:20:B with:colon:2\n"));
    ASSERT_EQ(p.jointCount(), 3);
    EXPECT_EQ(p.modelFile(), "robot.x"); // consecutive colons are one delimiter
    EXPECT_EQ(p.joints()[0].id, 10);
    EXPECT_EQ(p.joints()[1].id, 20);
    EXPECT_EQ(p.joints()[2].id, 30);
    EXPECT_EQ(p.joints()[1].name, "B with");  // a colon ends the name
    EXPECT_EQ(p.joints()[1].initialValue, 0); // "colon" is no number; the position field is the 4th
    EXPECT_EQ(p.joints()[2].initialValue, 3);
}

TEST(RobotProfileTest, MissingLinesAndNonNumbersLeaveEntriesInTheirInitialState)
{
    RobotProfile p;
    ASSERT_TRUE(p.parse("m:x.x\nn:4\n0:5:A:abc\n1:zz:B:100\n"));
    ASSERT_EQ(p.jointCount(), 4); // two missing lines still count
    EXPECT_EQ(p.joints()[0].initialValue, 0);
    EXPECT_EQ(p.joints()[1].id, 0);
    EXPECT_EQ(p.joints()[1].initialValue, 100);
    EXPECT_EQ(p.joints()[3].name, "");
    EXPECT_EQ(p.joints()[3].id, 0);

    ASSERT_TRUE(p.parse("m:x.x\nn:0\n"));
    EXPECT_EQ(p.jointCount(), 0);
    ASSERT_TRUE(p.parse("only a label\nn:1\n0:7:J:10\n"));
    EXPECT_FALSE(p.hasModel()); // no model named: the robot is simply not drawn
    EXPECT_EQ(p.jointCount(), 1);
    ASSERT_TRUE(p.parse(""));
    EXPECT_EQ(p.jointCount(), 0);
}

TEST(RobotProfileTest, RefusesIndexesAndCountsThatWouldLeaveTheArrays)
{
    const char* bad[] = {
        "m:x.x\nn:2\n0:1:A:0\n2:2:B:0\n",  // index == N
        "m:x.x\nn:2\n-1:1:A:0\n",          // negative index
        "m:x.x\nn:2\nfirst:1:A:0\n",       // no index at all
        "m:x.x\nn:2\n\n1:1:A:0\n",         // an empty joint line has no index either
        "m:x.x\nn:-3\n",                   // negative count
        "m:x.x\nn:254\n",                  // absurd count
        "m:x.x\nn:99999999999999999999\n", // does not even fit: no count, and no joints
    };
    for (const char* text : bad) {
        RobotProfile p;
        ASSERT_TRUE(p.parse(kThreeJoints));
        std::string error;
        bool ok = p.parse(text, &error);
        if (std::string(text).find("9999") != std::string::npos) {
            EXPECT_TRUE(ok) << text; // an unreadable count leaves N at zero
            EXPECT_EQ(p.jointCount(), 0);
            continue;
        }
        EXPECT_FALSE(ok) << text;
        EXPECT_EQ(p.jointCount(), 0) << text; // nothing half-loaded survives
        EXPECT_FALSE(p.hasModel());
        EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    }
    RobotProfile p;
    EXPECT_TRUE(p.parse("m:x.x\nn:253\n")); // the largest bus still loads
    EXPECT_EQ(p.jointCount(), 253);
}

TEST(RobotProfileTest, LoadsFromFileAndResolvesTheModelBesideIt)
{
    testsupport::TempFolder folder("profile_test");
    ASSERT_TRUE(folder.ok());
    const auto& dir = folder.path();
    auto path = dir / "arm.rbt";
    std::ofstream(path, std::ios::binary) << "m:models\\arm.x\nn:1\n0:4:Grip:10\n";
    RobotProfile p;
    std::string error;
    ASSERT_TRUE(p.load(path.string(), &error)) << error;
    EXPECT_EQ(p.modelPath(), (dir / "models/arm.x").string());

    EXPECT_FALSE(p.load((dir / "missing.rbt").string(), &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_EQ(p.jointCount(), 0);
}

TEST(DeviceTableTest, OrdersBroadcastThenSensorsThenJointsInLineOrder)
{
    DeviceTable t;
    ASSERT_TRUE(t.parse("m:x.x\nn:3\n2:30:C:3\n0:10:A:1\n1:20:B:2\ns:2\n0:100:Distance\n1:101:Sound:x\n"));
    ASSERT_EQ(t.count(), 6);
    EXPECT_EQ(t.entry(0).id, 254);
    EXPECT_EQ(t.entry(0).name, "All Joyntra");
    EXPECT_EQ(t.entry(0).kind, DeviceKind::AllDevices);
    EXPECT_EQ(t.entry(1).id, 100);
    EXPECT_EQ(t.entry(2).name, "Sound");
    EXPECT_EQ(t.entry(2).kind, DeviceKind::SensorModule);
    EXPECT_EQ(t.entry(3).id, 30); // line order, not the index field
    EXPECT_EQ(t.entry(5).id, 20);
    EXPECT_EQ(t.entry(5).kind, DeviceKind::JointServo);
    EXPECT_EQ(t.positionOf(10), 4);
    EXPECT_EQ(t.positionOf(99), -1);
    EXPECT_EQ(t.entry(6).name, ""); // out of range reads an empty entry, never past the table
    EXPECT_EQ(t.entry(-1).id, 0);
}

TEST(DeviceTableTest, HandlesMissingSensorsDuplicatesAndEightBitIds)
{
    DeviceTable t;
    ASSERT_TRUE(t.parse("m:x.x\nn:2\n0:7:First:0\n1:7:Second:0\n"));
    EXPECT_EQ(t.count(), 3); // no sensor line: M = 0
    EXPECT_EQ(t.entry(t.positionOf(7)).name, "First");

    ASSERT_TRUE(t.parse("m:x.x\nn:0\ns:1\n0:100:Touch\n"));
    ASSERT_EQ(t.count(), 2);
    EXPECT_EQ(t.entry(1).kind, DeviceKind::SensorModule);

    ASSERT_TRUE(t.parse("m:x.x\nn:1\n0:300:Wide:0\ns:2\n0:100:Touch\n"));
    EXPECT_EQ(t.count(), 4); // the missing second sensor still has its (empty) entry
    EXPECT_EQ(t.entry(2).name, "");
    EXPECT_EQ(t.entry(3).id, 300 & 0xFF);
}

TEST(DeviceTableTest, DamagedOrMissingFilesLeaveOnlyTheBroadcastEntry)
{
    DeviceTable t;
    std::string error;
    EXPECT_FALSE(t.parse("m:x.x\nn:300\n", &error));
    EXPECT_EQ(t.count(), 1);
    EXPECT_FALSE(t.parse("m:x.x\nn:1\n0:1:A:0\ns:-2\n", &error));
    EXPECT_NE(error.find("sensor count -2 on line 4"), std::string::npos) << error;
    EXPECT_EQ(t.count(), 1);
    EXPECT_FALSE(t.load("/nonexistent/folder/default.rbt", &error));
    EXPECT_EQ(t.count(), 1);
    EXPECT_EQ(t.entry(0).id, 254);
}
