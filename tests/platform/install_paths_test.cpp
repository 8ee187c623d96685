// Finding the data folder with the robot profiles, and the settings file.

#include "motion/RobotProfile.h"
#include "platform/InstallPaths.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Sets (or, with nullptr, removes) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name), had_(std::getenv(name) != nullptr)
    {
        old_ = had_ ? std::getenv(name) : "";
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { had_ ? ::setenv(name_.c_str(), old_.c_str(), 1) : ::unsetenv(name_.c_str()); }

  private:
    std::string name_, old_;
    bool had_;
};

} // namespace

TEST(InstallPathsTest, HomeOverridesThenBuildTreeThenInstalledPrefix)
{
    testsupport::TempFolder folder("install_paths");
    ASSERT_TRUE(folder.ok());
    const fs::path& tmp = folder.path();
    fs::create_directories(tmp / "src/data/Robot files");
    fs::create_directories(tmp / "src/docs/guide");
    fs::create_directories(tmp / "src/out/bin");
    std::ofstream(tmp / "src/out/CMakeCache.txt")
        << "# cache\nCMAKE_HOME_DIRECTORY:INTERNAL=" << (tmp / "src").string() << "\nOTHER:STRING=x\n";

    EXPECT_EQ(platform::resolveDataFolder("/opt/mine/", "/usr/bin/tessaban"), "/opt/mine");
    EXPECT_EQ(platform::resolveDataFolder("", (tmp / "src/out/bin/tessaban").string()),
              (tmp / "src/data").string());
    EXPECT_EQ(platform::resolveDataFolder("", "/usr/local/bin/posewright"), "/usr/local/share/tessaban");
    EXPECT_EQ(platform::resolveDataFolder("", "/bin/posewright"), "/share/tessaban");

    // The guide follows the program, never TESSABAN_HOME: the data may be elsewhere.
    EXPECT_EQ(platform::resolveGuideFolder((tmp / "src/out/bin/taskloom").string()),
              (tmp / "src/docs/guide").string());
    EXPECT_EQ(platform::resolveGuideFolder("/usr/bin/taskloom"), "/usr/share/doc/tessaban/guide");
    EXPECT_EQ(platform::resolveGuideFolder("/opt/t/bin/taskloom"), "/opt/t/share/doc/tessaban/guide");

    // A build tree whose source has no data folder is treated like an installation.
    fs::remove_all(tmp / "src/data");
    fs::remove_all(tmp / "src/docs");
    EXPECT_EQ(platform::resolveDataFolder("", (tmp / "src/out/bin/tessaban").string()),
              (tmp / "src/out/share/tessaban").string());
    EXPECT_EQ(platform::resolveGuideFolder((tmp / "src/out/bin/taskloom").string()),
              (tmp / "src/out/share/doc/tessaban/guide").string());
}

TEST(InstallPathsTest, TestBinaryFindsOurRobotsInTheSourceTree)
{
    ScopedEnv home("TESSABAN_HOME", nullptr);
    EXPECT_EQ(platform::dataFolder(), std::string(TESSABAN_SOURCE_DIR) + "/data");
    motion::RobotProfile profile;
    std::string error;
    ASSERT_TRUE(profile.load(platform::robotFilePath("default.rbt"), &error)) << error;
    EXPECT_EQ(profile.jointCount(), 18);
    EXPECT_EQ(profile.modelFile(), "humanoid.x");
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(profile.joints()[static_cast<size_t>(i)].id, i + 1);

    ScopedEnv custom("TESSABAN_HOME", "/srv/tessaban");
    EXPECT_EQ(platform::robotFolder(), "/srv/tessaban/Robot files");
}

TEST(InstallPathsTest, SettingsLiveUnderTheConfigHome)
{
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/cfg/");
        EXPECT_EQ(platform::settingsFile(), "/tmp/cfg/Quorvel/Tessaban.conf");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/is/ignored");
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(platform::configHome(), "/home/someone/.config");
}
