#include "support/TempFolder.h"

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace testsupport {

TempFolder::TempFolder(const std::string& prefix)
{
    std::error_code ec;
    const std::string pattern = (std::filesystem::temp_directory_path(ec) / (prefix + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()))
        path_ = name.data();
}

TempFolder::~TempFolder()
{
    if (path_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::write(const std::string& name, const std::string& content) const
{
    const std::string p = file(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

std::size_t TempFolder::entryCount() const
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_))
        ++n;
    return n;
}

PortFolder::PortFolder(const std::string& prefix, const std::string& sub) : TempFolder(prefix)
{
    const std::filesystem::path ports = sub.empty() ? path() : path() / sub;
    std::error_code ec;
    std::filesystem::create_directories(ports, ec);
    ::setenv("TESSABAN_PORTS", ports.c_str(), 1);
}

PortFolder::~PortFolder()
{
    ::unsetenv("TESSABAN_PORTS");
}

} // namespace testsupport
