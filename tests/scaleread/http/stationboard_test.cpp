#include <gtest/gtest.h>

#include <QJsonDocument>

#include "tools/scale-read/http/stationstate/stationboard.h"

namespace scaleread {
namespace {

QString stateText(const StationBoard& board, std::int64_t now) {
    return QString::fromUtf8(
        QJsonDocument(board.stateObject(0, now)).toJson(QJsonDocument::Compact));
}

constexpr std::string_view kRecord =
    R"({"time":"2026-12-07T12:00:00.000Z","station":"gate","port":"Com1","protocol":"continuous","weight":1.5,"text":"1.5kg","stable":true,"raw":"02 03"})";

TEST(StationBoard, StateFollowsThePortAndTheWatchdogAndKeepsTheRecordsFields) {
    StationBoard board({{"gate", "Com1", "continuous", {}}});
    EXPECT_EQ(stateText(board, 0),
              R"({"port":"Com1","protocol":"continuous","stable":false,"state":"not-open",)"
              R"("station":"gate"})");
    board.setPort(0, StationBoard::Port::Open);
    EXPECT_EQ(board.state(0, 0), "waiting");
    board.reading(0, kRecord, 1.5, true, true, 1000);
    EXPECT_EQ(stateText(board, 1499),
              R"({"port":"Com1","protocol":"continuous","raw":"02 03","stable":true,)"
              R"("state":"reading","station":"gate","text":"1.5kg",)"
              R"("time":"2026-12-07T12:00:00.000Z","weight":1.5})");
    // Silent, lost or not open, the last weight is only shown as such, with its age.
    const QString last =
        R"("last":{"text":"1.5kg","time":"2026-12-07T12:00:00.000Z","weight":1.5},)";
    EXPECT_EQ(stateText(board, 1500),
              R"({"age_ms":500,)" + last +
                  R"("port":"Com1","protocol":"continuous","stable":false,"state":"waiting",)"
                  R"("station":"gate"})");
    board.setPort(0, StationBoard::Port::Lost, "Com1 is gone");
    EXPECT_EQ(stateText(board, 3000),
              R"({"age_ms":2000,)" + last +
                  R"("port":"Com1","protocol":"continuous","reason":"Com1 is gone",)"
                  R"("stable":false,"state":"port-lost","station":"gate"})");
    // Back, it waits for a frame: the one before the loss is no reading of now.
    board.setPort(0, StationBoard::Port::Open);
    EXPECT_EQ(board.state(0, 3001), "waiting");
    EXPECT_FALSE(stateText(board, 3001).contains("reason"));
}

TEST(StationBoard, ChangesAreReportedOnceEach) {
    StationBoard board({{"a", "Com1", "continuous", {}}, {"b", "Com2", "command", {}}});
    EXPECT_EQ(board.changes(0), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(board.changes(0), std::vector<std::size_t>{});
    board.setPort(1, StationBoard::Port::Open);
    board.reading(1, kRecord, 1.5, false, false, 10);
    EXPECT_EQ(board.changes(100), std::vector<std::size_t>{1});
    EXPECT_EQ(board.changes(509), std::vector<std::size_t>{});
    EXPECT_EQ(board.changes(510), std::vector<std::size_t>{1});  // waiting
    // New words on why a port does not open are news too.
    board.setPort(0, StationBoard::Port::NotOpen, "no such device");
    board.setPort(0, StationBoard::Port::NotOpen, "permission denied");
    EXPECT_EQ(board.changes(600), std::vector<std::size_t>{0});
}

TEST(StationBoard, AStandingWeightIsGivenToEveryCallerWithItsPlacementNumber) {
    StationBoard board({{"gate", "Com1", "continuous", {}}});
    board.setPort(0, StationBoard::Port::Open);
    const auto answer = [&](std::optional<std::uint64_t> after) {
        return board.placement(0).answer(after).value_or("none");
    };
    board.reading(0, R"({"w":1})", 1, true, false, 0);  // stable before any settling
    EXPECT_EQ(answer(std::nullopt), "none");
    board.reading(0, R"({"w":2})", 2, true, true, 100);
    EXPECT_EQ(answer(std::nullopt), R"({"w":2,"seq":1})");
    EXPECT_EQ(answer(std::nullopt), R"({"w":2,"seq":1})");  // not taken by the first
    EXPECT_EQ(answer(0), R"({"w":2,"seq":1})");
    EXPECT_EQ(answer(1), "none");
    board.reading(0, R"({"w":2.1})", 2.1, true, false, 200);  // still standing
    EXPECT_EQ(answer(std::nullopt), R"({"w":2.1,"seq":1})");
    // An overload frame, then the same weight stable again: still the first placement.
    board.unsettled(0);
    EXPECT_EQ(answer(std::nullopt), "none");
    board.reading(0, R"({"w":2.1})", 2.1, true, false, 300);
    EXPECT_EQ(answer(0), R"({"w":2.1,"seq":1})");
    board.reading(0, R"({"w":5})", 5, false, false, 400);
    EXPECT_EQ(answer(0), "none");
    board.reading(0, R"({"w":7})", 7, true, true, 500);
    EXPECT_EQ(answer(1), R"({"w":7,"seq":2})");
    EXPECT_EQ(answer(2), "none");
    EXPECT_EQ(answer(99), "none");  // a number of an earlier run waits for the next placement
    board.setPort(0, StationBoard::Port::Lost, "gone");
    EXPECT_EQ(answer(std::nullopt), "none");
    EXPECT_EQ(board.placement(0).numbered(), R"({"w":7,"seq":2})");
}

TEST(WeightTrend, KeepsOneWeightPerStepForFiveMinutes) {
    WeightTrend trend;
    for (std::int64_t at = 0; at < 10 * 60 * 1000; at += 50) {
        trend.add(at, static_cast<double>(at));
    }
    const auto ages = trend.ages(10 * 60 * 1000);
    EXPECT_EQ(ages.size(), 299u);  // one a second, of the last five minutes
    EXPECT_EQ(ages.front(), (std::pair<std::int64_t, double>{299'000, 301'000}));
    EXPECT_EQ(ages.back(), (std::pair<std::int64_t, double>{1000, 599'000}));
    // Nothing read for five minutes: nothing to draw.
    EXPECT_TRUE(trend.ages(15 * 60 * 1000).empty());
}

}  // namespace
}  // namespace scaleread
