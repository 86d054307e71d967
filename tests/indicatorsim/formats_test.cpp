#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/indicatorsim/simtestsupport.h"
#include "protocols/formats/encoding.h"
#include "protocols/formats/toledo/toledocheck.h"
#include "tools/indicator-sim/formats/formatrequests.h"
#include "tools/indicator-sim/indicator/simulator.h"
#include "tools/indicator-sim/cli/usageerror.h"
#include "tools/indicator-sim/formats/spokenuserformat.h"

namespace indicatorsim {
namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string textOf(const std::vector<SimOutput>& outputs) {
    std::string text;
    for (const SimOutput& output : outputs) {
        text.append(output.bytes.begin(), output.bytes.end());
    }
    return text;
}

// 12.345 kg gross and steady; -1.5 kg net of a 3.0 kg tare while moving; 200.00 kg over capacity.
IndicatorState steadyGross() {
    return {.shown = 12345, .gross = 12345, .decimals = 3};
}
IndicatorState movingNet() {
    return {.shown = -15, .gross = 15, .tare = 30, .decimals = 1, .net = true, .motion = true};
}
IndicatorState overCapacity() {
    return {.shown = 20000, .gross = 20000, .decimals = 2, .overCapacity = true};
}

TEST(FormatFrames, EachFormatRendersItsLayoutByteForByte) {
    struct Case {
        std::string_view format;
        std::string steady, moving, over;
    };
    const Case cases[] = {
        {"toledo", "\x02-0  12345  0000\rU",
         "\x02+; "
         "    15    30\r\"",
         "\x02,4    000   000\r\x11"},
        {"sics", "S S     12.345 kg\r\n", "S D       -1.5 kg\r\n", "S +\r\n"},
        {"ad", "ST,GS,+012.345kg\r\n", "US,NT,-00001.5kg\r\n", "OL,GS,+0000.00kg\r\n"},
        {"sbi", "+   12.345 kg \r\n", "N     -      1.5    \r\n", "H             \r\n"},
        {"sma", "\n 1G      12.345kg \r", "\n 1NM       -1.5kg \r", "\nO1G        0.00kg \r"},
        {"rice-lake", "\x02  12.345KG \r\n", "\x02-    1.5KNM\r\n", "\x02    0.00KGO\r\n"},
        {"cardinal", "\r 12.345  kg G  \x03", "\r-   1.5M kg N  \x03", "\r   0.00O kg G  \x03"},
        {"weigh-tronix", " G 12.345 kg\r\n", " N-   1.5 kg\r\n", " G ------ kg\r\n"},
        {"8217",
         "\x02"
         "12.345\r",
         "\x02?e\r", "\x02?B\r"},
    };
    for (const Case& c : cases) {
        const SpokenFormat* format = formatNamed(c.format);
        ASSERT_NE(format, nullptr) << c.format;
        EXPECT_EQ(renderFrame(*format, steadyGross(), {}), c.steady) << c.format;
        EXPECT_EQ(renderFrame(*format, movingNet(), {}), c.moving) << c.format;
        EXPECT_EQ(renderFrame(*format, overCapacity(), {}), c.over) << c.format;
    }
}

TEST(FormatFrames, ToledoChecksumCanBeLeftOffAndTooWideWeightsAreOverloads) {
    const SpokenFormat& toledo = *formatNamed("toledo");
    EXPECT_EQ(renderFrame(toledo, steadyGross(), {.toledoChecksum = false}),
              "\x02-0  12345  0000\r");
    constexpr std::string_view kFrame = "\x02-0  12345  0000\r";
    EXPECT_EQ(scale::toledoCheckByte(
                  {reinterpret_cast<const std::uint8_t*>(kFrame.data()), kFrame.size()}),
              'U');

    // After a zero far below, a weight grows past what six characters show.
    const IndicatorState wide{.shown = 123456, .gross = 123456, .decimals = 3};
    EXPECT_EQ(renderFrame(*formatNamed("cardinal"), wide, {}), "\r  0.000O kg G  \x03");
    EXPECT_EQ(frameText(*formatNamed("cardinal"), wide), "overload");
    EXPECT_EQ(frameText(*formatNamed("sics"), wide), "123.456kg");
    EXPECT_EQ(frameText(*formatNamed("8217"), movingNet()), "-");
}

TEST(FormatRequests, EveryFormatsRequestsAreFoundHoweverTheyAreSplit) {
    const std::string sent = std::string(
        "\x02"
        "AB03\x03"
        "SI\r\n\x1b"
        "P\nW\rQ\r\nW");
    const Lines expected{"sics SI", "sbi ESC P", "8217 W", "sma W", "ad Q", "8217 W"};
    const auto names = [](const std::vector<FormatRequest>& requests) {
        Lines lines;
        for (const FormatRequest& request : requests) {
            lines.push_back(std::string(request.format->name) + " " + request.name);
        }
        return lines;
    };
    FormatRequestScanner whole(nullptr);
    EXPECT_EQ(names(whole.feed(bytesOf(sent))), expected);

    FormatRequestScanner split(nullptr);
    Lines inReads;
    for (const char c : sent) {
        for (const std::string& line : names(split.feed(Bytes{static_cast<std::uint8_t>(c)}))) {
            inReads.push_back(line);
        }
    }
    EXPECT_EQ(inReads, expected);

    // Unknown commands count for the format that answers them, and for no other.
    FormatRequestScanner sics(formatNamed("sics"));
    EXPECT_EQ(names(sics.feed(bytesOf("\x1b"
                                      "PSI\r\nTA\r\n"))),
              (Lines{"sbi ESC P", "sics unknown PSI", "sics unknown TA"}));
}

// A simulator asked one request a second, for formats that send nothing unasked.
struct Asked {
    explicit Asked(std::initializer_list<std::string_view> args) : sim(optionsFrom(args), 1) {
        sim.due(0);
    }

    // What it sends for the request, within 100 ms.
    std::string answerTo(std::string_view request) {
        now += 1'000'000;
        sim.due(now);
        sim.received(now, bytesOf(request));
        return textOf(sim.due(now + 100'000));
    }

    Simulator sim;
    Micros now = 0;
};

TEST(SicsSimulator, AnswersReadsZeroTareAndClearTareAndChangesWhatItSends) {
    Asked asked({"--link", "/x", "--protocol", "sics", "--weight", "fixed:12.345"});
    Simulator& sim = asked.sim;
    EXPECT_TRUE(sim.due(1'000'000).empty());  // it sends only when asked
    EXPECT_EQ(linesOf(sim.received(1'000'000, bytesOf("SI\r\n"))),
              (Lines{"1000.000 rx 53 49 0D 0A", "1000.000 request sics SI"}));
    EXPECT_EQ(sim.nextDue(), 1'020'000);
    EXPECT_EQ(linesOf(sim.due(1'020'000)),
              Lines{"1020.000 tx 53 20 53 20 20 20 20 20 31 32 2E 33 34 35 20 6B 67 0D 0A "
                    "12.345kg"});
    asked.now = 1'020'000;

    EXPECT_EQ(asked.answerTo("T\r\n"), "T S     12.345 kg\r\n");
    EXPECT_EQ(asked.answerTo("SI\r\n"), "S S      0.000 kg\r\n");
    EXPECT_EQ(asked.answerTo("TAC\r\n"), "TAC A\r\n");
    EXPECT_EQ(asked.answerTo("Z\r\n"), "Z A\r\n");
    EXPECT_EQ(asked.answerTo("S\r\n"), "S S      0.000 kg\r\n");
    EXPECT_EQ(asked.answerTo("W\r\n"), "ES\r\n");
}

TEST(SicsSimulator, RefusesWhatItIsToldToAndWhatIsOverCapacity) {
    Asked asked({"--link", "/x", "--protocol", "sics", "--weight", "fixed:12.345", "--refuse",
                 "zero", "--refuse", "clear-tare"});
    EXPECT_EQ(asked.answerTo("Z\r\n"), "Z I\r\n");
    EXPECT_EQ(asked.answerTo("TAC\r\n"), "TAC I\r\n");
    EXPECT_EQ(asked.answerTo("SI\r\n"), "S S     12.345 kg\r\n");

    Asked over(
        {"--link", "/x", "--protocol", "sics", "--weight", "fixed:12.345", "--capacity", "10"});
    EXPECT_EQ(over.answerTo("S\r\n"), "S +\r\n");
    EXPECT_EQ(over.answerTo("Z\r\n"), "Z +\r\n");
    EXPECT_EQ(over.answerTo("T\r\n"), "T +\r\n");
}

TEST(SicsSimulator, AStableWeightRequestWaitsUntilTheWeightSettles) {
    Simulator sim(optionsFrom({"--link", "/x", "--protocol", "sics", "--weight", "walk:3:50",
                               "--stream", "--answer-delay", "0"}),
                  1);
    sim.due(0);
    std::string moving;
    for (Micros now = 100'000; moving.empty() && now < 10'000'000; now += 100'000) {
        const std::string frame = textOf(sim.due(now));
        if (frame.starts_with("S D")) {
            moving = frame;
            sim.received(now, bytesOf("S\r\n"));
        }
    }
    ASSERT_FALSE(moving.empty());
    // Each slot streams its frame; the held answer follows the first steady one.
    for (Micros now = 0; now < 60'000'000; now += 100'000) {
        const std::vector<SimOutput> outputs = sim.due(10'000'000 + now);
        ASSERT_FALSE(outputs.empty());
        const std::string frame(outputs[0].bytes.begin(), outputs[0].bytes.end());
        if (frame.starts_with("S S")) {
            ASSERT_EQ(outputs.size(), 2u);
            EXPECT_EQ(outputs[1].bytes, outputs[0].bytes);
            return;
        }
        EXPECT_EQ(outputs.size(), 1u);
    }
    ADD_FAILURE() << "the walk never settled";
}

TEST(AskedFormats, AnswerTheirOwnCommandsAsTheirIndicatorsDo) {
    Asked sma(
        {"--link", "/x", "--protocol", "sma", "--weight", "fixed:12.345", "--refuse", "tare"});
    EXPECT_EQ(sma.answerTo("\nZ\r"), "\nZ1G       0.000kg \r");
    EXPECT_EQ(sma.answerTo("\nT\r"), "\nT1G       0.000kg \r");
    EXPECT_EQ(sma.answerTo("\nX\r"), "\n?\r");

    Asked ibm(
        {"--link", "/x", "--protocol", "8217", "--weight", "fixed:12.345", "--refuse", "zero"});
    EXPECT_EQ(ibm.answerTo("W"),
              "\x02"
              "12.345\r");
    EXPECT_EQ(ibm.answerTo("Z"), "\x02?H\r");

    Asked sbi({"--link", "/x", "--protocol", "sbi", "--weight", "fixed:2"});
    EXPECT_EQ(sbi.answerTo("\x1bU"), "");
    EXPECT_EQ(sbi.answerTo("\x1bP"), "N     +        0 kg \r\n");

    // A&D streams, and answers Q as well.
    Simulator ad(optionsFrom({"--link", "/x", "--protocol", "ad", "--weight", "fixed:2"}), 1);
    ad.due(0);
    ad.received(1'000'000, bytesOf("R\r\n"));
    EXPECT_EQ(textOf(ad.due(1'000'000)), "ST,GS,+0000000kg\r\n");
    EXPECT_EQ(linesOf(ad.received(1'050'000, bytesOf("Q\r\n"))),
              (Lines{"1050.000 rx 51 0D 0A", "1050.000 request ad Q"}));
    EXPECT_EQ(textOf(ad.due(1'070'000)), "ST,GS,+0000000kg\r\n");
}

TEST(AskedFormats, AnswerLateWhenToldAndLogOtherFormatsRequestsWithoutAnswering) {
    Simulator sim(optionsFrom({"--link", "/x", "--protocol", "8217", "--weight", "fixed:1",
                               "--answer-delay", "1500"}),
                  1);
    sim.due(0);
    EXPECT_EQ(linesOf(sim.received(1'000'000, bytesOf("SI\r\n"))),
              (Lines{"1000.000 rx 53 49 0D 0A", "1000.000 request sics SI"}));
    EXPECT_EQ(textOf(sim.due(5'000'000)), "");
    sim.received(5'000'000, bytesOf("W"));
    EXPECT_EQ(textOf(sim.due(6'400'000)), "");
    EXPECT_EQ(textOf(sim.due(6'500'000)),
              "\x02"
              "1\r");
}

TEST(StreamedFormats, SayMotionWhileThePlanMovesAndOverloadAboveCapacity) {
    Simulator sim(optionsFrom({"--link", "/x", "--protocol", "rice-lake", "--weight", "ramp:9:11:1",
                               "--capacity", "10", "--rate", "10"}),
                  1);
    Lines lines;
    for (Micros now = 0; now <= 300'000; now += 100'000) {
        for (const std::string& line : linesOf(sim.due(now))) {
            lines.push_back(line);
        }
    }
    EXPECT_EQ(lines, (Lines{"0.000 tx 02 20 20 20 20 20 20 20 39 4B 47 20 0D 0A 9kg",
                            "100.000 tx 02 20 20 20 20 20 20 31 30 4B 47 4D 0D 0A 10kg",
                            "200.000 tx 02 20 20 20 20 20 20 20 30 4B 47 4F 0D 0A overload",
                            "300.000 tx 02 20 20 20 20 20 20 20 39 4B 47 4D 0D 0A 9kg"}));
}

TEST(StreamedFormats, ToledoFramesCanCarryAWrongChecksum) {
    Simulator sim(optionsFrom({"--link", "/x", "--protocol", "toledo", "--weight", "fixed:12.345",
                               "--bad-checksum", "1"}),
                  1);
    EXPECT_EQ(linesOf(sim.due(0)),
              Lines{"0.000 tx 02 2D 30 20 20 31 32 33 34 35 20 20 30 30 30 30 0D 56 -"});
}

TEST(FormatOptions, AreReadAndMistakesRefused) {
    const SimOptions sics =
        optionsFrom({"--link", "/x", "--protocol", "sics", "--refuse", "zero", "--refuse",
                     "clear-tare", "--answer-delay", "700", "--stream", "--capacity", "150.5"});
    EXPECT_EQ(sics.protocol, Protocol::Format);
    EXPECT_EQ(sics.format, formatNamed("sics"));
    EXPECT_TRUE(sics.refusals.zero && sics.refusals.clearTare && !sics.refusals.tare);
    EXPECT_EQ(sics.replyDelay, 700'000);
    EXPECT_TRUE(sics.stream);
    EXPECT_EQ(sics.capacity->units, 1505u);
    EXPECT_FALSE(optionsFrom({"--link", "/x", "--protocol", "toledo", "--toledo-checksum", "off"})
                     .formatSettings.toledoChecksum);

    const std::pair<std::vector<std::string_view>, std::string> cases[] = {
        {{"--link", "/x", "--capacity", "10"},
         "--capacity is for the formats that report an overload"},
        {{"--link", "/x", "--protocol", "ad", "--capacity", "-1"},
         "--capacity: expected kilograms above 0, at most 999999, got '-1'"},
        {{"--link", "/x", "--protocol", "sics", "--toledo-checksum", "off"},
         "--toledo-checksum is for --protocol toledo"},
        {{"--link", "/x", "--protocol", "toledo", "--toledo-checksum", "yes"},
         "--toledo-checksum: expected on or off, got 'yes'"},
        {{"--link", "/x", "--protocol", "sics", "--refuse", "zero,print"},
         "--refuse: expected zero, tare or clear-tare, got 'print'"},
        {{"--link", "/x", "--protocol", "cardinal", "--refuse", "zero"},
         "--refuse is for the formats that take zero and tare commands"},
        {{"--link", "/x", "--protocol", "ad", "--stream"},
         "--stream is for --protocol sics, sbi, sma or 8217"},
        {{"--link", "/x", "--protocol", "sma", "--reply-delay", "5", "--answer-delay", "5"},
         "--reply-delay and --answer-delay are the same; give one"},
        {{"--link", "/x", "--protocol", "weigh-tronix", "--bad-checksum", "0.1"},
         "--bad-checksum: weigh-tronix frames have no checksum"},
        {{"--link", "/x", "--protocol", "toledo", "--toledo-checksum", "off", "--bad-checksum",
          "0.1"},
         "--bad-checksum: toledo frames have no checksum"},
        {{"--link", "/x", "--protocol", "toledo", "--lowercase", "0.1"},
         "--lowercase: toledo frames have no checksum"},
        {{"--link", "/x", "--protocol", "cardinal", "--weight", "fixed:123.456"},
         "--weight: 123.456 does not fit a cardinal frame's weight field"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(refusalOf(args), message) << message;
    }
}

TEST(DescribedFormats, RenderTheirTemplateHearTheirExactRequestsAndRefuseWhatTheyCannotSpeak) {
    constexpr std::string_view kFile =
        "[[format]]\n"
        "name = \"silo\"\n"
        "pattern = '(?<value>-?\\d+\\.\\d+)(?<stable>[SM])'\n"
        "request = \"RW\\r\"\n"
        "zero = \"\\u001bZ\"\n"
        "send = \"<{sign:}{value:07}{stable}>\\r\"\n"
        "[[format]]\n"
        "name = \"mute\"\n"
        "pattern = '(?<value>\\d+)'\n";
    const auto silo = spokenUserFormat(kFile, "plant.toml", "silo");
    const SpokenFormat& spoken = silo->row;
    FormatSettings settings;
    settings.user = silo->format;
    IndicatorState state{.shown = -12345, .gross = -12345, .decimals = 3, .motion = true};
    EXPECT_EQ(spoken.render(state, settings), "<-012.345M>\r");
    EXPECT_TRUE(spoken.asked);

    // Split across reads and behind junk, with no framing of their own to go by.
    FormatRequestScanner scanner(&spoken);
    Lines heard;
    for (const char c : std::string("xxRRW\r\x1b\x1bZR")) {
        for (const FormatRequest& request : scanner.feed(Bytes{static_cast<std::uint8_t>(c)})) {
            if (request.format == &spoken) {
                heard.push_back(request.name);
            }
        }
    }
    EXPECT_EQ(heard, (Lines{"RW\\x0D", "\\x1BZ"}));

    const auto refusal = [&](std::string_view text, std::string_view name) {
        try {
            spokenUserFormat(text, "plant.toml", name);
        } catch (const UsageError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal(kFile, "mute"),
              "--protocol: format 'mute' in plant.toml has no send template, so the simulator "
              "cannot write its frames");
    EXPECT_EQ(refusal(kFile, "yard"),
              "--protocol: plant.toml has no format 'yard' (it has silo, mute)");
    EXPECT_EQ(refusal("[[format]]\nname = \"a\"\ncolour = 1\n", "a"),
              "plant.toml line 3: unknown key 'colour'");
}

TEST(DescribedFormats, SendTheirOverloadAndUnderloadFramesWithTheirCheck) {
    constexpr std::string_view kFile =
        "[[format]]\n"
        "name = \"wt\"\n"
        "pattern = 'WT:(?<value>[-0-9.]+)'\n"
        "check = { kind = \"sum\", as = \"hex\" }\n"
        "send = \"WT:{sign:}{value}\\r\\n\"\n"
        "send-overload = \"WT:OL\\r\\n\"\n"
        "send-underload = \"WT:UL\\r\\n\"\n";
    const auto wt = spokenUserFormat(kFile, "plant.toml", "wt");
    FormatSettings settings;
    settings.user = wt->format;
    const IndicatorState over{.shown = 9000, .gross = 9000, .overCapacity = true};
    const IndicatorState under{.shown = -9000, .gross = -9000, .underCapacity = true};
    const IndicatorState within{.shown = -90, .gross = -90};
    EXPECT_EQ(renderFrame(wt->row, over, settings) + frameText(wt->row, over),
              "WT:OL80\r\noverload");
    EXPECT_EQ(renderFrame(wt->row, under, settings) + frameText(wt->row, under),
              "WT:UL86\r\nunderload");
    EXPECT_EQ(renderFrame(wt->row, within, settings) + frameText(wt->row, within),
              "WT:-907B\r\n-90kg");
}

}  // namespace
}  // namespace indicatorsim
