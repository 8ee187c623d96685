#pragma once
// The example programs shipped in data/examples, built with the same cell operations the editor
// uses. make_behaviour_examples writes them; the tests check that the files still match.

#include "behaviour/BehaviorProgram.h"

#include <functional>
#include <string>
#include <vector>

namespace examples {

struct Example {
    std::string fileName;                                   // inside data/examples
    std::function<bool(behaviour::BehaviorProgram&)> build; // false when a step was refused
};

const std::vector<Example>& all();
// Builds the example of that file name; false when there is none or a step was refused.
bool build(const std::string& fileName, behaviour::BehaviorProgram& program);
// The first line whose instruction (code[2] of cell 0) is `instruction`, or -1.
int firstLineWith(const behaviour::BehaviorProgram& program, uint8_t instruction);

// START; IF (sensor 100 "Left IR sensor data" > 50) THEN LOAD "AUX LED" <- 1; END.
bool workedExample(behaviour::BehaviorProgram& program);

} // namespace examples
