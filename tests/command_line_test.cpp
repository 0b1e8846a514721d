#include "command_line.h"
#include "command_line_cases.h"

#include <gtest/gtest.h>

class CommandLineSplit : public testing::TestWithParam<CommandLineCase> {
};

TEST_P(CommandLineSplit, GivesTheTypedArguments)
{
    const CommandLineCase &c = GetParam();
    EXPECT_EQ(split_command_line(c.line), c.words) << "line: [" << c.line << "]";
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLineSplit, testing::ValuesIn(command_line_cases()));
