#pragma once
// Bytes and files the terminal's tests share.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// n bytes of every value in a repeating order, so a lost or swapped byte shows.
inline std::string pattern(size_t n)
{
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 13 + 1);
    return s;
}

inline std::string slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
