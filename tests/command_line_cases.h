// The command-line splitter's cases, shared by the GoogleTest suite (run
// natively) and the small self-checking program that runs the same table
// as a Windows .exe under Wine.
#pragma once

#include <string>
#include <vector>

struct CommandLineCase {
    const char *line;
    std::vector<std::string> words; // program path first
};

inline const std::vector<CommandLineCase> &command_line_cases()
{
    static const std::vector<CommandLineCase> cases = {
        // Splitting at blanks and tabs, runs of them counting as one.
        {"Say", {"Say"}},
        {"Say hello", {"Say", "hello"}},
        {"Exec  tool\t*.shp \t s16   ", {"Exec", "tool", "*.shp", "s16"}},
        {"  Say\thello", {"Say", "hello"}},
        // Quoted stretches: quotes dropped, blanks kept, also inside a word.
        {"Say \"files S16\"", {"Say", "files S16"}},
        {"Say a\"b c\"d", {"Say", "ab cd"}},
        {"Say \"a b\"\"c d\"", {"Say", "a bc d"}},
        {"Say \"a\tb\" c", {"Say", "a\tb", "c"}},
        {"Say \"open to the end  ", {"Say", "open to the end  "}},
        // Empty arguments: two quotes alone, at any position.
        {"Say \"\"", {"Say", ""}},
        {"Exec \"\" *.shp \"\"", {"Exec", "", "*.shp", ""}},
        {"Say \"\"\"\" x", {"Say", "", "x"}},
        {"Say a\"\"b", {"Say", "ab"}},
        {"Say \"", {"Say", ""}},
        // Backslash before a quote: a literal quote, in or out of a stretch.
        {"Say \\\"hi\\\"", {"Say", "\"hi\""}},
        {"Say \"say \\\"hi\\\" now\"", {"Say", "say \"hi\" now"}},
        {"Say a\\\"b c", {"Say", "a\"b", "c"}},
        {"Say \\\"a b\\\"", {"Say", "\"a", "b\""}},
        // Every other backslash as typed: doubled ones too, and one before
        // a doubled backslash's quote gives just the quote.
        {"Exec sprites\\*.shp", {"Exec", "sprites\\*.shp"}},
        {"Exec C:\\a\\\\b\\ x\\", {"Exec", "C:\\a\\\\b\\", "x\\"}},
        {"Say a\\\\\"b", {"Say", "a\\\"b"}},
        {"Say \"C:\\dir\\\" x", {"Say", "C:\\dir\" x"}},
        // Characters that are not special stay as they are.
        {"Say ?x /*.s16 %PATH% 'a b'", {"Say", "?x", "/*.s16", "%PATH%", "'a", "b'"}},
        // The program path: quoted (blanks inside, backslashes literal) or
        // not, and a quoted path ends at its closing quote.
        {"\"C:\\Program Files\\Say.exe\" hi", {"C:\\Program Files\\Say.exe", "hi"}},
        {"Z:\\tools\\Say.exe \"\"", {"Z:\\tools\\Say.exe", ""}},
        {"\"C:\\tools\\Say.exe\"hi there", {"C:\\tools\\Say.exe", "hi", "there"}},
        {"\"C:\\odd\\\" hi", {"C:\\odd\\", "hi"}},
        {"", {""}},
    };
    return cases;
}
