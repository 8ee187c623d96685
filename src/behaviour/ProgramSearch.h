#pragma once
// Finding things in a program: a text anywhere the user wrote or chose something (labels,
// comments, the cells' full texts: names, values, registers, instructions), and every use of a
// label or a name.

#include "behaviour/BehaviorProgram.h"

#include <string_view>
#include <vector>

namespace behaviour {

struct FoundPlace {
    static constexpr int LabelArea = -1;
    static constexpr int CommentArea = -2;
    int line = 0;
    int cell = 0; // 0..9, or LabelArea / CommentArea
    bool operator==(const FoundPlace&) const = default;
};

// Case-insensitive for the ASCII letters; texts in the file's code page.
std::vector<FoundPlace> findText(const BehaviorProgram& program, std::string_view needle);
// The lines that carry `name` as their label, and the cells that name it (a JUMP or CALL target,
// a name operand, a device register given by name).
std::vector<FoundPlace> findUses(const BehaviorProgram& program, std::string_view name);
// The label or name a place holds, for "find uses" on it; empty when it holds none.
std::string nameAt(const BehaviorProgram& program, const FoundPlace& at);

} // namespace behaviour
