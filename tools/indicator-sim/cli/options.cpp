#include "tools/indicator-sim/cli/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/indicator-sim/eventlog.h"
#include "tools/options/optionreader.h"

namespace indicatorsim {
namespace {

constexpr long kPseudoTerminalBaud = 9600;
constexpr int kPseudoTerminalBitsPerByte = 10;
// One frame a day, like the longest times, keeps the frame times far from overflowing.
constexpr double kSlowestRate = 1.0 / 86'400;

// Every option, by its name without the dashes; --refuse may come more than once.
constexpr tooloptions::OptionName kOptions[] = {
    {"link", true},        {"device", true},       {"settings", true},
    {"baud", true},        {"protocol", true},     {"weight", true},
    {"decimals", true},    {"rate", true},         {"reply-delay", true},
    {"drop", true},        {"bad-checksum", true}, {"lowercase", true},
    {"stray", true},       {"cut", true},          {"cut-pause", true},
    {"noise", true},       {"silence", true},      {"unplug-after", true},
    {"seed", true},        {"duration", true},     {"verbose", false},
    {"line-model", false}, {"replay", true},       {"speed", true},
    {"formats", true},     {"tcp", true},
    // The options of the formats beyond the three built-in protocols.
    {"capacity", true},    {"refuse", true, true}, {"answer-delay", true},
    {"stream", false},     {"toledo-checksum", true},
};

// What a replay leaves out: it sends the recording as it is.
constexpr std::string_view kNotWithReplay[] = {
    "--protocol",  "--weight",       "--decimals",  "--rate",         "--reply-delay",
    "--drop",      "--bad-checksum", "--lowercase", "--stray",        "--cut",
    "--cut-pause", "--noise",        "--silence",   "--unplug-after", "--seed",
    "--capacity",  "--refuse",       "--stream",    "--answer-delay", "--toledo-checksum",
    "--formats",
};

// Each option given by its name with the dashes; a repeated one's values joined with commas.
using Given = std::map<std::string, std::string, std::less<>>;

Given collect(std::span<const std::string_view> args) {
    const auto read = tooloptions::readOptions(args, kOptions);
    if (const auto* refused = std::get_if<std::string>(&read)) {
        throw UsageError(*refused);
    }
    const auto& options = std::get<tooloptions::GivenOptions>(read);
    Given given;
    for (const std::string& name : options.names()) {
        std::string joined;
        for (const std::string& value : options.values(name)) {
            joined += (joined.empty() ? "" : ",") + value;
        }
        given.emplace("--" + name, std::move(joined));
    }
    return given;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

template <class Number>
bool readWhole(std::string_view text, Number& number) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

bool readReal(std::string_view text, double& number) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size() &&
           std::isfinite(number);
}

double shareOfFrames(std::string_view name, std::string_view text) {
    double rate = 0;
    if (!readReal(text, rate) || rate < 0 || rate > 1) {
        throw UsageError(std::string(name) + ": expected a share of frames from 0 to 1, got " +
                         quoted(text));
    }
    return rate;
}

Micros millis(std::string_view name, std::string_view text, bool zeroAllowed) {
    std::int64_t ms = -1;
    // A day is plenty and keeps every sum of times far from overflowing.
    if (!readWhole(text, ms) || ms < (zeroAllowed ? 0 : 1) || ms > 86'400'000) {
        throw UsageError(std::string(name) + ": expected whole milliseconds " +
                         (zeroAllowed ? "from 0" : "above 0") + ", got " + quoted(text));
    }
    return fromMillis(ms);
}

// "command, sics, ad, sbi, sma or 8217": the protocols that answer requests; without command,
// those that send only when asked.
std::string askingNames(bool withCommand = true) {
    std::vector<std::string_view> names;
    if (withCommand) {
        names.push_back("command");
    }
    for (const SpokenFormat& format : allFormats()) {
        if (withCommand ? format.answer != nullptr : format.asked) {
            names.push_back(format.name);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += i == 0 ? "" : i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

Protocol protocolNamed(std::string_view text) {
    if (text == "continuous") {
        return Protocol::Continuous;
    }
    if (text == "command") {
        return Protocol::Command;
    }
    if (text == "shentong") {
        return Protocol::ShenTong;
    }
    if (formatNamed(text)) {
        return Protocol::Format;
    }
    throw UsageError("--protocol: expected continuous, command, shentong, " + formatNames() +
                     ", got " + quoted(text));
}

Silence silenceFrom(std::string_view text) {
    const auto colon = text.find(':');
    Silence silence;
    std::int64_t every = 0;
    std::int64_t length = 0;
    if (colon == std::string_view::npos || !readWhole(text.substr(0, colon), every) ||
        !readWhole(text.substr(colon + 1), length) || every < 1 || length < 1 ||
        every > 86'400'000 || length > 86'400'000) {
        throw UsageError("--silence: expected EVERY:LONG, both whole milliseconds above 0, got " +
                         quoted(text));
    }
    silence.every = fromMillis(every);
    silence.length = fromMillis(length);
    return silence;
}

// True for --tcp: the indicator's own TCP port, whose bytes go as they are, paced at --baud.
bool readTcpLine(const Given& given, SimOptions& options) {
    const auto tcp = given.find("--tcp");
    if (tcp == given.end()) {
        return false;
    }
    for (const char* other : {"--link", "--device", "--settings", "--line-model"}) {
        if (given.contains(other)) {
            throw UsageError(std::string(other) + " is not for --tcp, whose bytes go as they are");
        }
    }
    options.tcp = parseTcpPlace(tcp->second);
    if (!options.tcp) {
        throw UsageError("--tcp: expected [ADDR:]PORT, an IPv4 address and a port from 0 to "
                         "65535, got " + quoted(tcp->second));
    }
    options.settings.baud = kPseudoTerminalBaud;
    if (const auto baud = given.find("--baud"); baud != given.end()) {
        if (!readWhole(baud->second, options.settings.baud) || options.settings.baud <= 0) {
            throw UsageError("--baud: expected a whole baud above 0, got " + quoted(baud->second));
        }
    }
    return true;
}

void readLine(const Given& given, SimOptions& options) {
    if (readTcpLine(given, options)) {
        return;
    }
    const auto link = given.find("--link");
    const auto device = given.find("--device");
    if (link == given.end() && device == given.end()) {
        throw UsageError("give the line: --link PATH, --device DEVICE or --tcp [ADDR:]PORT");
    }
    if (link != given.end() && device != given.end()) {
        throw UsageError("--link and --device exclude each other");
    }
    if (link != given.end()) {
        options.linkPath = link->second;
        options.lineModel = given.contains("--line-model");
        if (options.lineModel) {
            if (given.contains("--baud")) {
                throw UsageError(
                    "--baud goes without --line-model, which takes the baud from "
                    "--settings");
            }
            if (const auto settings = given.find("--settings"); settings != given.end()) {
                options.settings = parseSerialSettings(settings->second);
            }
            return;
        }
        if (given.contains("--settings")) {
            throw UsageError(
                "--settings is for --device or --line-model; a pseudo-terminal otherwise takes "
                "only --baud");
        }
        options.settings.baud = kPseudoTerminalBaud;
        if (const auto baud = given.find("--baud"); baud != given.end()) {
            if (!readWhole(baud->second, options.settings.baud) || options.settings.baud <= 0) {
                throw UsageError("--baud: expected a whole baud above 0, got " +
                                 quoted(baud->second));
            }
        }
    } else {
        options.devicePath = device->second;
        if (given.contains("--line-model")) {
            throw UsageError("--line-model is for --link; a real line does this itself");
        }
        if (given.contains("--baud")) {
            throw UsageError("--baud is for --link; a device takes its baud from --settings");
        }
        if (const auto settings = given.find("--settings"); settings != given.end()) {
            options.settings = parseSerialSettings(settings->second);
        }
    }
}

// True when the run replays a recording.
bool readReplay(const Given& given, SimOptions& options) {
    const auto replay = given.find("--replay");
    if (replay == given.end()) {
        if (given.contains("--speed")) {
            throw UsageError("--speed goes with --replay");
        }
        return false;
    }
    for (const std::string_view name : kNotWithReplay) {
        if (given.contains(name)) {
            throw UsageError(std::string(name) +
                             " does not go with --replay, which sends the recording as it is");
        }
    }
    options.replayPath = replay->second;
    if (const auto speed = given.find("--speed"); speed != given.end()) {
        if (!readReal(speed->second, options.speed) || options.speed <= 0) {
            throw UsageError("--speed: expected a factor above 0, got " + quoted(speed->second));
        }
    }
    return true;
}

bool isBuiltIn(std::string_view name) {
    return name == "continuous" || name == "command" || name == "shentong" || formatNamed(name);
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
        throw UsageError("--formats: cannot read " + path);
    }
    return text.str();
}

// A format of the formats file speaks like one of the table's, through its own row.
void readUserFormat(const Given& given, SimOptions& options) {
    const auto file = given.find("--formats");
    if (file == given.end()) {
        return;
    }
    const std::string text = fileText(file->second);
    const auto protocol = given.find("--protocol");
    if (protocol == given.end() || isBuiltIn(protocol->second)) {
        // Checked all the same, so that a broken file is never taken for a good one.
        if (const auto read = scale::readUserFormats(text, file->second);
            const auto* error = std::get_if<std::string>(&read)) {
            throw UsageError(*error, std::string(scale::kFormatsReference));
        }
        return;
    }
    options.userFormat = spokenUserFormat(text, file->second, protocol->second);
    options.protocol = Protocol::Format;
    options.format = &options.userFormat->row;
    options.formatSettings.user = options.userFormat->format;
}

void readProtocol(const Given& given, SimOptions& options) {
    readUserFormat(given, options);
    if (const auto protocol = given.find("--protocol");
        protocol != given.end() && !options.userFormat) {
        options.protocol = protocolNamed(protocol->second);
        options.format = formatNamed(protocol->second);
    }
    const bool command = options.protocol == Protocol::Command;
    const bool answers = command || (options.format && options.format->answer);
    for (const std::string_view name : {"--reply-delay", "--answer-delay", "--drop"}) {
        if (!answers && given.contains(name)) {
            throw UsageError(std::string(name) + " is for --protocol " + askingNames());
        }
    }
    if (given.contains("--reply-delay") && given.contains("--answer-delay")) {
        throw UsageError("--reply-delay and --answer-delay are the same; give one");
    }
    if (command && given.contains("--rate")) {
        throw UsageError("--rate is for continuous and shentong; command mode answers requests");
    }
    if (const auto rate = given.find("--rate"); rate != given.end()) {
        if (!readReal(rate->second, options.rate) || options.rate <= 0) {
            throw UsageError("--rate: expected frames per second above 0, got " +
                             quoted(rate->second));
        }
        if (options.rate < kSlowestRate) {
            throw UsageError("--rate: expected at least one frame a day, got " +
                             quoted(rate->second));
        }
    }
    for (const std::string_view name : {"--reply-delay", "--answer-delay"}) {
        if (const auto delay = given.find(name); delay != given.end()) {
            options.replyDelay = millis(name, delay->second, true);
        }
    }
    if (const auto drop = given.find("--drop"); drop != given.end()) {
        options.dropRate = shareOfFrames("--drop", drop->second);
    }
}

void readWeight(const Given& given, SimOptions& options) {
    std::optional<int> decimals;
    if (const auto places = given.find("--decimals"); places != given.end()) {
        int value = -1;
        if (!readWhole(places->second, value) || value < 0 || value > 4) {
            throw UsageError("--decimals: expected 0 to 4, got " + quoted(places->second));
        }
        decimals = value;
    }
    const auto weight = given.find("--weight");
    options.weight = planWeight(weight != given.end() ? weight->second : "walk:1", decimals,
                                options.protocol, options.format);
}

void readFaults(const Given& given, SimOptions& options) {
    const std::pair<std::string_view, double FaultRates::*> rates[] = {
        {"--bad-checksum", &FaultRates::badChecksum},
        {"--lowercase", &FaultRates::lowercase},
        {"--stray", &FaultRates::stray},
        {"--cut", &FaultRates::cut},
        {"--noise", &FaultRates::noise},
    };
    for (const auto& [name, field] : rates) {
        if (const auto rate = given.find(name); rate != given.end()) {
            options.faults.*field = shareOfFrames(name, rate->second);
        }
    }
    const bool formatChecked =
        options.format && options.format->spoilCheck && options.formatSettings.toledoChecksum;
    if (!hasChecksum(options.protocol)) {
        for (const std::string_view name : {"--bad-checksum", "--lowercase"}) {
            if (formatChecked && name == "--bad-checksum") {
                continue;  // a check byte, not digits: it can be wrong but not lower case
            }
            if (given.contains(name)) {
                throw UsageError(std::string(name) + ": " +
                                 (options.format ? std::string(options.format->name) : "shentong") +
                                 " frames have no checksum");
            }
        }
    }
    if (const auto pause = given.find("--cut-pause"); pause != given.end()) {
        if (!given.contains("--cut")) {
            throw UsageError("--cut-pause goes with --cut");
        }
        options.cutPause = millis("--cut-pause", pause->second, true);
    }
    if (const auto silence = given.find("--silence"); silence != given.end()) {
        options.silence = silenceFrom(silence->second);
    }
    if (const auto unplug = given.find("--unplug-after"); unplug != given.end()) {
        options.unplugAfter = millis("--unplug-after", unplug->second, false);
    }
    if (const auto seed = given.find("--seed"); seed != given.end()) {
        std::uint64_t value = 0;
        if (!readWhole(seed->second, value)) {
            throw UsageError("--seed: expected a whole number from 0, got " + quoted(seed->second));
        }
        options.seed = value;
    }
}

// Messages quote the arguments they refuse; a control character in one is written as \xHH so
// that the message stays one line.
std::string oneLine(std::string_view message) {
    return escapedText(message, [](unsigned char byte) { return byte < 0x20 || byte == 0x7F; });
}

void readFormatOptions(const Given& given, SimOptions& options) {
    const SpokenFormat* format = options.format;
    const auto capacity = given.find("--capacity");
    if (capacity != given.end()) {
        const auto value = parseDecimal(capacity->second);
        if (!format) {
            throw UsageError("--capacity is for the formats that report an overload");
        }
        if (options.userFormat && options.userFormat->format->sendOverload.empty()) {
            throw UsageError("--capacity: format '" + options.userFormat->format->name +
                             "' has no send-overload template, so the simulator cannot send its "
                             "overload");
        }
        if (!value || value->negative || value->units == 0 || value->decimals > 4 ||
            signedUnits(withDecimals(*value, 0)) > 999'999) {
            throw UsageError("--capacity: expected kilograms above 0, at most 999999, got " +
                             quoted(capacity->second));
        }
        options.capacity = *value;
    }
    if (const auto checksum = given.find("--toledo-checksum"); checksum != given.end()) {
        if (!format || format->name != "toledo") {
            throw UsageError("--toledo-checksum is for --protocol toledo");
        }
        if (checksum->second != "on" && checksum->second != "off") {
            throw UsageError("--toledo-checksum: expected on or off, got " +
                             quoted(checksum->second));
        }
        options.formatSettings.toledoChecksum = checksum->second == "on";
    }
    if (given.contains("--stream")) {
        if (!format || !format->asked) {
            throw UsageError("--stream is for --protocol " + askingNames(false));
        }
        options.stream = true;
    }
    if (const auto refuse = given.find("--refuse"); refuse != given.end()) {
        if (!format || format->framing == RequestFraming::None) {
            throw UsageError("--refuse is for the formats that take zero and tare commands");
        }
        std::string_view rest = refuse->second;
        for (;;) {
            const auto comma = rest.find(',');
            const std::string_view command = rest.substr(0, comma);
            if (command == "zero") {
                options.refusals.zero = true;
            } else if (command == "tare") {
                options.refusals.tare = true;
            } else if (command == "clear-tare") {
                options.refusals.clearTare = true;
            } else {
                throw UsageError("--refuse: expected zero, tare or clear-tare, got " +
                                 quoted(command));
            }
            if (comma == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(comma + 1);
        }
    }
}

}  // namespace

ParseResult parseOptions(std::span<const std::string_view> args) {
    switch (tooloptions::requestOf(args)) {
    case tooloptions::Request::Help: return HelpRequested{};
    case tooloptions::Request::Version: return VersionRequested{};
    case tooloptions::Request::Run: break;
    }
    try {
        const Given given = collect(args);
        SimOptions options;
        readLine(given, options);
        if (!readReplay(given, options)) {
            readProtocol(given, options);
            readWeight(given, options);
            readFormatOptions(given, options);
            readFaults(given, options);
        }
        if (const auto duration = given.find("--duration"); duration != given.end()) {
            options.duration = millis("--duration", duration->second, false);
        }
        options.verbose = given.contains("--verbose");
        return options;
    } catch (const UsageError& error) {
        return UsageError(oneLine(error.what()));
    }
}

Pace paceFor(const SimOptions& options) {
    const bool framed = !options.devicePath.empty() || options.lineModel;
    const int bits = framed ? bitsPerCharacter(options.settings) : kPseudoTerminalBitsPerByte;
    return choosePace(options.rate, options.settings.baud, bits,
                      options.format ? options.format->frameLength : frameLength(options.protocol));
}

bool usesRandomFaults(const SimOptions& options) {
    const FaultRates& f = options.faults;
    return options.dropRate > 0 || f.badChecksum > 0 || f.lowercase > 0 || f.stray > 0 ||
           f.cut > 0 || f.noise > 0;
}

std::optional<PlannedEnd> plannedEnd(const SimOptions& options) {
    if (options.unplugAfter && (!options.duration || *options.unplugAfter <= *options.duration)) {
        return PlannedEnd{*options.unplugAfter, true};
    }
    if (options.duration) {
        return PlannedEnd{*options.duration, false};
    }
    return std::nullopt;
}

}  // namespace indicatorsim
