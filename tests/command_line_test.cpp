// The long-option reader: forms of values, and every way a command line is refused.
#include "apps/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace textdemo {
namespace {

constexpr OptionSpec SPECS[] = {
    {"archive", "FILE", "read FILE"},
    {"mute", "", "start muted"},
    {"a-rather-long-option-name", "VALUE", "first line\nsecond line"},
};

CommandLine parse(std::vector<std::string> args) { return parse_command_line(args, SPECS); }

TEST(CommandLine, TakesValuesInBothFormsAndKeepsOrder) {
    const CommandLine line = parse({"--mute", "--archive", "x.salad"});
    ASSERT_EQ(line.error, "");
    ASSERT_EQ(line.given.size(), 2u);
    EXPECT_EQ(line.given[0].name, "mute");
    EXPECT_EQ(line.given[1].name, "archive");
    EXPECT_EQ(*line.find("archive"), "x.salad");
    EXPECT_EQ(*parse({"--archive=a=b"}).find("archive"), "a=b");
    EXPECT_FALSE(parse({}).has("mute"));
}

TEST(CommandLine, RefusesWithOneLineNamingTheProblem) {
    EXPECT_EQ(parse({"--nope"}).error, "unknown option \"--nope\"");
    EXPECT_EQ(parse({"--nope=3"}).error, "unknown option \"--nope\"");
    EXPECT_EQ(parse({"-m"}).error, "unknown option \"-m\"");
    EXPECT_EQ(parse({"--"}).error, "unknown option \"--\"");
    EXPECT_EQ(parse({"show.salad"}).error, "unexpected argument \"show.salad\"");
    EXPECT_EQ(parse({"--archive"}).error, "--archive needs a value (FILE)");
    EXPECT_EQ(parse({"--archive="}).error, "--archive needs a value (FILE)");
    EXPECT_EQ(parse({"--mute=yes"}).error, "--mute takes no value");
    EXPECT_EQ(parse({"--mute", "--mute"}).error, "--mute is given twice");
    EXPECT_EQ(parse({"--archive=a", "--archive", "b"}).error, "--archive is given twice");
}

TEST(CommandLine, HelpLinesAlignAndContinue) {
    EXPECT_EQ(format_option_help(SPECS),
              "  --archive FILE        read FILE\n"
              "  --mute                start muted\n"
              "  --a-rather-long-option-name VALUE  first line\n"
              "                        second line\n");
}

}  // namespace
}  // namespace textdemo
