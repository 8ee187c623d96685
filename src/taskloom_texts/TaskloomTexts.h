#pragma once
// Taskloom's texts: one constant table of string number and text, the only place a text a user
// of Taskloom sees is written. The cores hand out string numbers (or results that carry them);
// whoever shows or prints a message turns the number into its text here. Numbers below 20000
// are the ones users and teachers know from the programmer, spelling included; from 20000 on
// they are our own.

#include "platform/NumberedText.h"

#include <span>

namespace taskloom {

// Every entry, in ascending order of number; each number once.
std::span<const platform::NumberedText> textTable();

// The text of a string number, exactly; "" for a number that is not in the table.
const char* text(int number);

} // namespace taskloom
