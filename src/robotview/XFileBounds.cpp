#include "robotview/XFileBounds.h"

#include <cctype>
#include <cstdint>
#include <vector>

namespace robotview {

namespace {

constexpr size_t kHeaderSize = 16; // "xof 0303txt 0032"

bool identStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool identChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
}

// Mesh, MeshNormals, MeshTextureCoords, MeshMaterialList, MeshVertexColors, MeshFaceWraps ...
bool isMeshBlock(std::string_view type)
{
    if (type.size() < 4)
        return false;
    for (size_t i = 0; i < 4; ++i)
        if (std::tolower(static_cast<unsigned char>(type[i])) != "mesh"[i])
            return false;
    return true;
}

} // namespace

XFileBounds checkXFileBounds(std::string_view bytes)
{
    XFileBounds result;
    if (bytes.size() < kHeaderSize || bytes.substr(0, 4) != "xof ") {
        result.why = "it is not a .x model file.";
        return result;
    }
    if (bytes.substr(8, 4) != "txt ") {
        result.why = "only the text form of .x model files is read.";
        return result;
    }
    const uint64_t limit = bytes.size();
    std::vector<std::string_view> blocks; // open blocks' template names ("" for a reference)
    int meshDepth = 0;                    // how many open blocks are mesh blocks
    std::string_view firstWord;           // the first word since the last { } ; or ,
    size_t i = kHeaderSize;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '#' || (c == '/' && i + 1 < bytes.size() && bytes[i + 1] == '/')) {
            while (i < bytes.size() && bytes[i] != '\n')
                ++i;
        } else if (c == '"') {
            const size_t end = bytes.find('"', i + 1);
            i = end == std::string_view::npos ? bytes.size() : end + 1;
        } else if (c == '<') { // a template's GUID
            const size_t end = bytes.find('>', i + 1);
            i = end == std::string_view::npos ? bytes.size() : end + 1;
        } else if (c == '{') {
            blocks.push_back(firstWord);
            meshDepth += isMeshBlock(firstWord);
            firstWord = {};
            ++i;
        } else if (c == '}') {
            if (!blocks.empty()) {
                meshDepth -= isMeshBlock(blocks.back());
                blocks.pop_back();
            }
            firstWord = {};
            ++i;
        } else if (c == ';' || c == ',') {
            firstWord = {};
            ++i;
        } else if (identStart(c)) {
            const size_t start = i;
            while (i < bytes.size() && identChar(bytes[i]))
                ++i;
            if (firstWord.empty())
                firstWord = bytes.substr(start, i - start);
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            const size_t start = i;
            uint64_t value = 0;
            bool integer = true;
            while (i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[i]))) {
                if (value <= limit)
                    value = value * 10 + static_cast<uint64_t>(bytes[i] - '0');
                ++i;
            }
            while (i < bytes.size() &&
                   (std::isalnum(static_cast<unsigned char>(bytes[i])) || bytes[i] == '.' ||
                    ((bytes[i] == '-' || bytes[i] == '+') && (bytes[i - 1] == 'e' || bytes[i - 1] == 'E')))) {
                integer = false;
                ++i;
            }
            if (integer && meshDepth > 0 && value > limit) {
                std::string block(blocks.empty() ? std::string_view("mesh") : blocks.back());
                result.why = "its " + (block.empty() ? std::string("mesh") : block) + " block claims " +
                             std::string(bytes.substr(start, i - start)) + " elements, more than its " +
                             std::to_string(limit) + " bytes can hold.";
                return result;
            }
        } else {
            ++i;
        }
    }
    result.ok = true;
    return result;
}

} // namespace robotview
