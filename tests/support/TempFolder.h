#pragma once
// A fresh folder for one test, removed with everything in it when the test ends:
//
//     testsupport::TempFolder folder("termcfg");
//     ASSERT_TRUE(folder.ok());
//     job.open(folder.write("data.bin", bytes));
//     config.load(folder.file("cfg"));
//
// PortFolder is one that also serves as the COM port folder (TESSABAN_PORTS) while it lives.

#include <cstddef>
#include <filesystem>
#include <string>

namespace testsupport {

class TempFolder {
  public:
    // Made under the system's temporary folder, named after prefix.
    explicit TempFolder(const std::string& prefix = "tessaban-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    // The path of name inside the folder (nothing is created).
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes content to name inside the folder and returns its path.
    std::string write(const std::string& name, const std::string& content) const;
    // How many entries the folder holds, not counting deeper ones.
    std::size_t entryCount() const;

  private:
    std::filesystem::path path_;
};

// A TempFolder (or its subfolder) set as TESSABAN_PORTS, where platform::linkPort() makes the
// COMn links; the variable is removed again when it goes away.
class PortFolder : public TempFolder {
  public:
    explicit PortFolder(const std::string& prefix = "tessaban-ports", const std::string& subfolder = {});
    ~PortFolder();
};

} // namespace testsupport
