// Writes the example behaviour programs into a folder (data/examples in the source tree):
//   make_behaviour_examples DIR
// Each program is built with the editor's cell operations and must pass the check.

#include "ExamplePrograms.h"

#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_behaviour_examples DIR\n");
        return 2;
    }
    int status = 0;
    for (const auto& e : examples::all()) {
        behaviour::BehaviorProgram program;
        if (!e.build(program)) {
            std::fprintf(stderr, "%s: a step of the builder was refused\n", e.fileName.c_str());
            status = 1;
            continue;
        }
        behaviour::BuildResult r = behaviour::buildProgram(program);
        std::string path = std::string(argv[1]) + "/" + e.fileName;
        auto saved = behaviour::saveProgramFile(path, program);
        std::printf("%-22s %s (image %zu bytes)%s\n", e.fileName.c_str(), r.message.c_str(), r.bytes.size(),
                    saved.ok ? "" : saved.message.c_str());
        if (!r.ok || !saved.ok)
            status = 1;
    }
    return status;
}
