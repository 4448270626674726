// The command line's parser: what it must refuse (and say which argument), and the values
// it takes at the edges of what the options dialog allows.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"

namespace {

Command parse(std::vector<const wchar_t*> arguments) {
    return parseCommand(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, RefusesWhatTheDialogWouldNotTakeAndNamesTheArgument) {
    struct Case {
        std::vector<const wchar_t*> arguments;
        Text error;
    } cases[] = {
        {{L"snap", L"-o", L"a.png"}, Text::CommandUnknownFormat},
        {{L"shot", L"--fps", L"0", L"-o", L"a.png"}, Text::CommandBadValueFormat},
        {{L"shot", L"--fps", L"10001", L"-o", L"a.png"}, Text::CommandBadValueFormat},
        {{L"shot", L"--seconds", L"0.05", L"-o", L"a.png"}, Text::CommandBadValueFormat},
        {{L"shot", L"--seconds", L"1e3", L"-o", L"a.png"}, Text::CommandBadValueFormat},
        {{L"record", L"--seconds", L"1.5", L"-o", L"a.avi"}, Text::CommandBadValueFormat},
        {{L"last", L"--seconds", L"61", L"-o", L"a.png"}, Text::CommandBadValueFormat},
        {{L"shot", L"--decay", L"501", L"-o", L"a.png"}, Text::CommandBadValueFormat},
        {{L"shot", L"--mode", L"max", L"-o", L"a.png"}, Text::CommandBadValueFormat},
        {{L"shot", L"--region", L"0,0,0,5", L"-o", L"a.png"}, Text::CommandBadRegion},
        {{L"shot", L"--region", L"1,2,3", L"-o", L"a.png"}, Text::CommandBadRegion},
        {{L"shot", L"--region", L"1,2,3,4,", L"-o", L"a.png"}, Text::CommandBadRegion},
        {{L"shot", L"-o", L"a.jpg"}, Text::CommandBadExtensionFormat},
        {{L"shot", L"-o", L"dir.png\\a"}, Text::CommandBadExtensionFormat},
        {{L"record", L"-o", L"a.png"}, Text::CommandBadExtensionFormat},
        {{L"shot", L"--gif", L"a.avi", L"-o", L"a.png"}, Text::CommandBadExtensionFormat},
        {{L"last", L"--pointer", L"-o", L"a.png"}, Text::CommandUnknownOptionFormat},
        {{L"record", L"--mode", L"mean", L"-o", L"a.gif"}, Text::CommandUnknownOptionFormat},
        {{L"shot", L"--desktop", L"--client", L"-o", L"a.png"}, Text::CommandUnknownOptionFormat},
        {{L"shot", L"--pointer=1", L"-o", L"a.png"}, Text::CommandUnknownOptionFormat},
        {{L"record", L"--stop", L"-o", L"a.gif"}, Text::CommandUnknownOptionFormat},
        {{L"shot", L"-o"}, Text::CommandMissingValueFormat},
        {{L"shot", L"--seconds", L"2"}, Text::CommandNoOutput},
    };
    for (const Case& c : cases) {
        const Command command = parse(c.arguments);
        EXPECT_EQ(command.error, c.error) << "at argument " << c.arguments.size();
        EXPECT_FALSE(command.errorArgument.empty());
    }
}

TEST(CommandLine, TakesTheOptionsInEitherFormAndLeavesTheRestToTheIni) {
    Command shot = parse({L"SHOT", L"--region=-1024,-5,640,480", L"--seconds", L"0.1", L"--fps=10000", L"--mode",
                          L"Median", L"--decay", L"1", L"--pointer", L"--gif", L"g.GIF", L"-o", L"-"});
    ASSERT_EQ(shot.error, Text::Count);
    EXPECT_EQ(shot.verb, Verb::Shot);
    EXPECT_EQ(shot.area, Area::Region);
    EXPECT_EQ(shot.region.left, -1024);
    EXPECT_EQ(shot.region.right, -384);
    EXPECT_EQ(shot.region.bottom, 475);
    EXPECT_DOUBLE_EQ(shot.seconds, 0.1);
    EXPECT_EQ(shot.fps, 10000);
    EXPECT_EQ(shot.mode, 3);
    EXPECT_EQ(shot.decayPercent, 1);
    EXPECT_TRUE(shot.pointer);
    EXPECT_EQ(shot.outputKind, OutputKind::Clipboard);

    const Command plain = parse({L"shot", L"-o", L"C:\\a.b\\x.Png"});
    EXPECT_EQ(plain.outputKind, OutputKind::Png);
    EXPECT_EQ(plain.area, Area::Settings);
    EXPECT_LT(plain.seconds, 0);
    EXPECT_LT(plain.fps, 0);
    EXPECT_LT(plain.mode, 0);

    EXPECT_EQ(parse({L"record", L"--stop"}).verb, Verb::RecordStop);
    EXPECT_EQ(parse({L"/?"}).verb, Verb::Help);
    EXPECT_EQ(parse({L"last", L"--help"}).verb, Verb::Help);
    EXPECT_FALSE(isCommand(parse({})));
}

}  // namespace
