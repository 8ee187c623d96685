#pragma once
// A C stream that closes itself: the firmware readers use stdio for plain, bounded reads.

#include <cstdio>
#include <memory>

namespace firmware {

struct CFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using CFile = std::unique_ptr<std::FILE, CFileCloser>;

} // namespace firmware
