#pragma once
// The example programs shipped in data/examples, built with the same cell operations the editor
// uses. make_behaviour_examples writes them; the tests check that the files still match.

#include "behaviour/BehaviorProgram.h"

#include <functional>
#include <string>
#include <vector>

namespace examples {

struct Example {
    std::string fileName; // inside data/examples
    std::function<bool(behaviour::BehaviorProgram&)> build; // false when a step was refused
};

const std::vector<Example>& all();

// START; IF (sensor 100 "Left IR sensor data" > 50) THEN LOAD "AUX LED" <- 1; END.
bool workedExample(behaviour::BehaviorProgram& program);

} // namespace examples
