// Writes the example behaviour programs into a folder (data/examples in the source tree):
//   make_behaviour_examples DIR [SEED-DIR...]
// Each program is built with the editor's cell operations and must pass the check. With seed
// folders, a compact copy of each (only the lines up to the last one in use) goes into each of
// them as a fuzzing seed.

#include "ExamplePrograms.h"

#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_behaviour_examples DIR [SEED-DIR...]\n");
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
        int used = 0;
        for (int l = 0; l < program.count(); ++l)
            if (program.line(l).hasContent())
                used = l + 1;
        std::vector<behaviour::ProgramLine> lines;
        for (int l = 0; l < used; ++l)
            lines.push_back(program.line(l));
        behaviour::BehaviorProgram compact;
        compact.assign(std::move(lines), program.curLine(), program.curCell());
        for (int d = 2; d < argc; ++d) {
            auto seed = behaviour::saveProgramFile(std::string(argv[d]) + "/" + e.fileName, compact);
            if (!seed.ok) {
                std::fprintf(stderr, "%s\n", seed.message.c_str());
                status = 1;
            }
        }
    }
    return status;
}
