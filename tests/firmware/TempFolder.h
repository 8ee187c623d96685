#pragma once
// A fresh folder per test, removed with everything in it when the test ends.

#include <filesystem>
#include <random>
#include <string>

namespace firmware::testfiles {

class TempFolder {
  public:
    TempFolder()
    {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("tessaban-firmware-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    std::size_t entryCount() const
    {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_))
            ++n;
        return n;
    }

  private:
    std::filesystem::path path_;
};

} // namespace firmware::testfiles
