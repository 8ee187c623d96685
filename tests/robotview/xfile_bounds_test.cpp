// The look at a .x model's counts before the importer allocates by them.

#include "robotview/XFileBounds.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using robotview::checkXFileBounds;

namespace {

std::string humanoid()
{
    std::ifstream in(std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/humanoid.x", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string kHeader = "xof 0303txt 0032\n";

} // namespace

TEST(XFileBounds, CountsThatCannotFitTheFileAreRefused)
{
    struct Row {
        const char* what;
        std::string text;
        bool ok;
        const char* reasonContains;
    };
    std::string corrupt = humanoid();
    const size_t mesh = corrupt.find("Mesh ");
    ASSERT_NE(mesh, std::string::npos);
    const size_t count = corrupt.find_first_of("0123456789", corrupt.find('{', mesh));
    corrupt.replace(count, corrupt.find(';', count) - count, "2000000000");

    const Row rows[] = {
        {"our humanoid", humanoid(), true, ""},
        {"its first mesh claiming two billion vertices", corrupt, false, "claims 2000000000 elements"},
        {"a face claiming more indices than bytes",
         kHeader + "Mesh m { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 99999999999999999999999;0,1,2;; }", false,
         "Mesh block claims 99999999999999999999999"},
        {"a normals count too large", kHeader + "Mesh m { 1; 0;0;0;; 0; MeshNormals { 500000; 0;0;1;; 0; } }",
         false, "MeshNormals block"},
        {"large numbers outside meshes, in comments, names and decimals",
         kHeader + "// 900000000\nAnimTicksPerSecond { 4800000; }\nFrame ID_900000000 {}\n"
                   "Mesh m { 1; 123456789.5;0;-2e9;; 0; }",
         true, ""},
        {"a binary model", "xof 0303bin 0032" + std::string(40, '\0'), false, "text form"},
        {"a compressed model", "xof 0303tzip0032" + std::string(40, 'x'), false, "text form"},
        {"not a model at all", "Frame {", false, "not a .x model"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const auto result = checkXFileBounds(r.text);
        EXPECT_EQ(result.ok, r.ok) << result.why;
        EXPECT_NE(result.why.find(r.reasonContains), std::string::npos) << result.why;
    }
}
