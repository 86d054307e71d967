#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/indicatorsim/simtestsupport.h"
#include "tools/indicator-sim/cli/options.h"

namespace indicatorsim {
namespace {

TEST(Options, EveryOptionOfADeviceRunIsRead) {
    const SimOptions options = optionsFrom({"--device",
                                            "/dev/ttyUSB0",
                                            "--settings",
                                            "28400,e,7,2",
                                            "--protocol",
                                            "command",
                                            "--weight=fixed:-0.50",
                                            "--reply-delay",
                                            "35",
                                            "--drop",
                                            "0.25",
                                            "--bad-checksum",
                                            "0.1",
                                            "--lowercase",
                                            "0.2",
                                            "--stray",
                                            "0.3",
                                            "--cut",
                                            "0.4",
                                            "--cut-pause",
                                            "0",
                                            "--noise",
                                            "0.5",
                                            "--silence",
                                            "2000:300",
                                            "--unplug-after",
                                            "9000",
                                            "--duration",
                                            "10000",
                                            "--seed",
                                            "18446744073709551615",
                                            "--verbose"});

    EXPECT_EQ(options.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(options.linkPath, "");
    EXPECT_EQ(options.settings, (SerialSettings{28400, Parity::Even, 7, StopBits::Two}));
    EXPECT_EQ(options.protocol, Protocol::Command);
    const auto& fixed = std::get<FixedWeight>(options.weight);
    EXPECT_TRUE(fixed.reading.negative);
    EXPECT_EQ(fixed.reading.digits, 50u);
    EXPECT_EQ(fixed.reading.decimals, 2);
    EXPECT_EQ(options.replyDelay, 35'000);
    EXPECT_EQ(options.dropRate, 0.25);
    EXPECT_EQ(options.faults.badChecksum, 0.1);
    EXPECT_EQ(options.faults.lowercase, 0.2);
    EXPECT_EQ(options.faults.stray, 0.3);
    EXPECT_EQ(options.faults.cut, 0.4);
    EXPECT_EQ(options.cutPause, 0);
    EXPECT_EQ(options.faults.noise, 0.5);
    EXPECT_EQ(options.silence.every, 2'000'000);
    EXPECT_EQ(options.silence.length, 300'000);
    EXPECT_EQ(options.unplugAfter, 9'000'000);
    EXPECT_EQ(options.duration, 10'000'000);
    EXPECT_EQ(options.seed, 18446744073709551615u);
    EXPECT_TRUE(options.verbose);
}

TEST(Options, APseudoTerminalRunNeedsOnlyItsLink) {
    const SimOptions options = optionsFrom({"--link", "/tmp/scale/Com1"});

    EXPECT_EQ(options.linkPath, "/tmp/scale/Com1");
    EXPECT_EQ(options.settings.baud, 9600);
    EXPECT_EQ(options.protocol, Protocol::Continuous);
    EXPECT_EQ(options.rate, 10);
    const auto& walk = std::get<WalkWeight>(options.weight);
    EXPECT_EQ(walk.seed, 1u);
    EXPECT_EQ(walk.highest, 100'000);
    EXPECT_EQ(walk.lowest, 100'000);
    EXPECT_EQ(walk.decimals, 3);
    EXPECT_EQ(options.replyDelay, 20'000);
    EXPECT_EQ(options.cutPause, 30'000);
    EXPECT_FALSE(options.silence.covers(123'456'789));
    EXPECT_FALSE(options.seed);
    EXPECT_FALSE(options.duration);
    EXPECT_FALSE(options.unplugAfter);
    EXPECT_FALSE(options.verbose);
    EXPECT_FALSE(usesRandomFaults(options));
}

TEST(Options, ALineModelTakesTheFullSettingsAndAReplayItsSpeed) {
    const SimOptions modelled =
        optionsFrom({"--link", "/x", "--line-model", "--settings", "19200,E,7,2", "--rate", "200"});
    EXPECT_TRUE(modelled.lineModel);
    EXPECT_EQ(modelled.settings, (SerialSettings{19200, Parity::Even, 7, StopBits::Two}));
    // Eleven bits a byte, twelve bytes a frame.
    EXPECT_DOUBLE_EQ(paceFor(modelled).framesPerSecond, 19200.0 / 132.0);
    EXPECT_EQ(optionsFrom({"--link", "/x", "--line-model"}).settings, SerialSettings{});

    const SimOptions replay =
        optionsFrom({"--link", "/x", "--replay", "a.rec", "--speed", "2.5", "--duration", "900"});
    EXPECT_EQ(replay.replayPath, "a.rec");
    EXPECT_EQ(replay.speed, 2.5);
    EXPECT_EQ(replay.duration, 900'000);
    EXPECT_EQ(optionsFrom({"--device", "/y", "--replay", "a.rec"}).speed, 1);
}

TEST(Options, HelpWinsOverMistakesElsewhere) {
    const std::vector<std::string_view> args{"--rate", "fast", "--help", "--bogus"};
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parseOptions(args)));
}

TEST(Options, VersionWinsOverMistakesButNotOverHelp) {
    const std::vector<std::string_view> version{"--rate", "fast", "--version", "--bogus"};
    EXPECT_TRUE(std::holds_alternative<VersionRequested>(parseOptions(version)));
    const std::vector<std::string_view> shortForm{"--bogus", "-V"};
    EXPECT_TRUE(std::holds_alternative<VersionRequested>(parseOptions(shortForm)));
    const std::vector<std::string_view> both{"--version", "--help"};
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parseOptions(both)));
}

// Each refusal is the one line the simulator prints for that command line.
void expectRefusals(
    const std::vector<std::pair<std::vector<std::string_view>, std::string>>& cases) {
    for (const auto& [args, message] : cases) {
        std::string commandLine;
        for (const std::string_view arg : args) {
            commandLine += " " + std::string(arg);
        }
        EXPECT_EQ(refusalOf(args), message) << "for" << commandLine;
    }
}

// Missing, stray, unknown and repeated options, each named in one line.
TEST(Options, TheCommandLineItselfIsChecked) {
    expectRefusals({
        {{}, "give the line: --link PATH, --device DEVICE or --tcp [ADDR:]PORT"},
        {{"--link"}, "--link needs a value"},
        {{"--link="}, "--link needs a value"},
        {{"--link", "/x", "--device", "/y"}, "--link and --device exclude each other"},
        {{"--link", "/x", "extra"}, "unexpected argument 'extra'"},
        {{"--link", "/x", "two\nlines\r"}, "unexpected argument 'two\\x0Alines\\x0D'"},
        {{"--link", "/x", "-v"}, "unknown option -v"},
        {{"--link", "--protocol", "command"}, "--link needs a value"},
        {{"--link", "/x", "--colour", "red"}, "unknown option --colour"},
        {{"--link", "/x", "--verbose=yes"}, "--verbose takes no value"},
        {{"--link", "/x", "--rate", "5", "--rate=6"}, "--rate given twice"},
    });
}

// The line: baud and settings for the kind of line given.
TEST(Options, LineSettingsAreRefusedForTheWrongLine) {
    expectRefusals({
        {{"--link", "/x", "--settings", "9600,N,8,1"},
         "--settings is for --device or --line-model; a pseudo-terminal otherwise takes only "
         "--baud"},
        {{"--device", "/y", "--baud", "9600"},
         "--baud is for --link; a device takes its baud from --settings"},
        {{"--link", "/x", "--baud", "-9600"}, "--baud: expected a whole baud above 0, got '-9600'"},
        {{"--device", "/y", "--settings", "9600,N,8"},
         "--settings: expected BAUD,PARITY,DATA,STOP such as 9600,N,8,1, got '9600,N,8'"},
        {{"--device", "/y", "--settings", "0,N,8,1"},
         "--settings: the baud must be a whole number above 0, got '0'"},
        {{"--device", "/y", "--settings", "9600,M,8,1"},
         "--settings: parity must be N, E or O, got 'M'"},
        {{"--device", "/y", "--settings", "9600,N,9,1"},
         "--settings: data bits must be 5 to 8, got '9'"},
        {{"--device", "/y", "--settings", "9600,N,8,1.5"},
         "--settings: stop bits must be 1 or 2, got '1.5'"},
        {{"--device", "/y", "--line-model"},
         "--line-model is for --link; a real line does this itself"},
        {{"--link", "/x", "--line-model", "--baud", "19200"},
         "--baud goes without --line-model, which takes the baud from --settings"},
        {{"--link", "/x", "--line-model", "--settings", "19200,X,8,1"},
         "--settings: parity must be N, E or O, got 'X'"},
    });
}

// What goes out and when: protocol, rate, replies, faults and timing.
TEST(Options, ProtocolPacingAndFaultsAreRefusedOutOfRange) {
    expectRefusals({
        {{"--link", "/x", "--protocol", "modbus"},
         "--protocol: expected continuous, command, shentong, toledo, sics, ad, sbi, sma, "
         "rice-lake, "
         "cardinal, weigh-tronix, 8217, got 'modbus'"},
        {{"--link", "/x", "--rate", "0"}, "--rate: expected frames per second above 0, got '0'"},
        {{"--link", "/x", "--rate", "inf"},
         "--rate: expected frames per second above 0, got 'inf'"},
        {{"--link", "/x", "--rate", "1e-14"},
         "--rate: expected at least one frame a day, got '1e-14'"},
        {{"--link", "/x", "--protocol", "command", "--rate", "5"},
         "--rate is for continuous and shentong; command mode answers requests"},
        {{"--link", "/x", "--reply-delay", "5"},
         "--reply-delay is for --protocol command, sics, ad, sbi, sma or 8217"},
        {{"--link", "/x", "--protocol", "shentong", "--drop", "0.5"},
         "--drop is for --protocol command, sics, ad, sbi, sma or 8217"},
        {{"--link", "/x", "--protocol", "command", "--reply-delay", "-1"},
         "--reply-delay: expected whole milliseconds from 0, got '-1'"},
        {{"--link", "/x", "--protocol", "command", "--drop", "1.01"},
         "--drop: expected a share of frames from 0 to 1, got '1.01'"},
        {{"--link", "/x", "--noise", "some"},
         "--noise: expected a share of frames from 0 to 1, got 'some'"},
        {{"--link", "/x", "--protocol", "shentong", "--lowercase", "0.1"},
         "--lowercase: shentong frames have no checksum"},
        {{"--link", "/x", "--cut-pause", "10"}, "--cut-pause goes with --cut"},
        {{"--link", "/x", "--silence", "1000"},
         "--silence: expected EVERY:LONG, both whole milliseconds above 0, got '1000'"},
        {{"--link", "/x", "--silence", "1000:0"},
         "--silence: expected EVERY:LONG, both whole milliseconds above 0, got '1000:0'"},
        {{"--link", "/x", "--duration", "0"},
         "--duration: expected whole milliseconds above 0, got '0'"},
        {{"--link", "/x", "--unplug-after", "1.5"},
         "--unplug-after: expected whole milliseconds above 0, got '1.5'"},
        {{"--link", "/x", "--seed", "-3"}, "--seed: expected a whole number from 0, got '-3'"},
    });
}

// Weights that the frame cannot carry or the plan cannot make.
TEST(Options, WeightsAreRefusedWhenTheFrameCannotCarryThem) {
    expectRefusals({
        {{"--link", "/x", "--decimals", "5"}, "--decimals: expected 0 to 4, got '5'"},
        {{"--link", "/x", "--weight", "sine:5"},
         "--weight: expected fixed:VALUE, ramp:FROM:TO:STEP or walk:SEED[:MAX], got 'sine:5'"},
        {{"--link", "/x", "--weight", "fixed:1,5"}, "--weight: '1,5' is not a number"},
        {{"--link", "/x", "--weight", "fixed:1:2"},
         "--weight: expected fixed:VALUE, for example fixed:-12.345"},
        {{"--link", "/x", "--weight", "fixed:1234567"},
         "--weight: 1234567 does not fit the frame's six digits"},
        {{"--link", "/x", "--weight", "fixed:1234.5", "--decimals", "3"},
         "--weight: 1234.5 does not fit the frame's six digits"},
        {{"--link", "/x", "--protocol", "shentong", "--weight", "fixed:-123.45"},
         "--weight: -123.45 does not fit a shentong frame's six characters"},
        {{"--link", "/x", "--weight", "fixed:1.23456"},
         "--weight: 1.23456 has more than 4 decimals; give --decimals to round it"},
        {{"--link", "/x", "--weight", "ramp:0:10"},
         "--weight: expected ramp:FROM:TO:STEP, for example ramp:0:50:0.5"},
        {{"--link", "/x", "--weight", "ramp:0:10:-1"},
         "--weight: the ramp's STEP must be above 0, got -1"},
        {{"--link", "/x", "--weight", "ramp:0:10:0.001", "--decimals", "2"},
         "--weight: the ramp's STEP 0.001 is 0 at 2 decimals"},
        {{"--link", "/x", "--protocol", "shentong", "--weight", "ramp:-10:5:1", "--decimals", "3"},
         "--weight: -10 does not fit a shentong frame's six characters"},
        {{"--link", "/x", "--weight", "walk:x"},
         "--weight: the walk's SEED must be a whole number from 0, got 'x'"},
        {{"--link", "/x", "--weight", "walk:1:0"},
         "--weight: the walk's MAX must be above 0, got 0"},
    });
}

// A replay sends the recording as it is.
TEST(Options, ReplayRefusesWhatItCannotHonour) {
    expectRefusals({
        {{"--link", "/x", "--speed", "2"}, "--speed goes with --replay"},
        {{"--link", "/x", "--replay", "a.rec", "--speed", "0"},
         "--speed: expected a factor above 0, got '0'"},
        {{"--link", "/x", "--replay", "a.rec", "--speed", "nan"},
         "--speed: expected a factor above 0, got 'nan'"},
        {{"--link", "/x", "--replay", "a.rec", "--protocol", "command"},
         "--protocol does not go with --replay, which sends the recording as it is"},
        {{"--link", "/x", "--replay", "a.rec", "--weight", "fixed:1"},
         "--weight does not go with --replay, which sends the recording as it is"},
        {{"--link", "/x", "--replay", "a.rec", "--noise", "0.1"},
         "--noise does not go with --replay, which sends the recording as it is"},
    });
}

}  // namespace
}  // namespace indicatorsim
