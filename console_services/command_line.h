// Splits a raw Windows command line (GetCommandLineA) into arguments, by the
// rules the programs document for their users.  Plain portable code, so its
// rules are tested on every platform.
#pragma once

#include <string>
#include <vector>

// Splits `line` into the program path followed by its arguments.
//
// The program path (the first word) is taken the way Windows itself finds
// the program to start: when the line begins with a double quote, up to the
// next double quote; otherwise up to the first blank or tab.  Backslashes in
// it are always literal, since a path is full of them.
//
// Every argument after it follows these rules:
//   - arguments are split at blanks and tabs;
//   - a stretch between double quotes belongs to one argument and the quotes
//     are dropped; such a stretch may stand inside an argument (a"b c"d is
//     the one argument ab cd), and an unclosed stretch runs to the line end;
//   - a backslash directly before a double quote gives a literal double
//     quote, inside a quoted stretch or outside;
//   - every other backslash is taken as typed;
//   - two double quotes typed alone give an empty argument.
std::vector<std::string> split_command_line(const char *line);
