#include <gtest/gtest.h>

#include <QJsonDocument>

#include "tools/scale-read/stationboard.h"

namespace scaleread {
namespace {

QString stateText(const StationBoard& board, std::int64_t now) {
    return QString::fromUtf8(
        QJsonDocument(board.stateObject(0, now)).toJson(QJsonDocument::Compact));
}

const QByteArray kRecord =
    R"({"time":"2026-12-07T12:00:00.000Z","station":"gate","port":"Com1","protocol":"continuous","weight":1.5,"text":"1.5kg","stable":true,"raw":"02 03"})";

TEST(StationBoard, StateFollowsThePortAndTheWatchdogAndKeepsTheRecordsFields) {
    StationBoard board({{"gate", "Com1", "continuous", {}}});
    EXPECT_EQ(stateText(board, 0),
              R"({"port":"Com1","protocol":"continuous","state":"not-open","station":"gate"})");
    board.setPort(0, StationBoard::Port::Open);
    EXPECT_EQ(board.state(0, 0), "waiting");
    board.reading(0, kRecord, true, true, 1000);
    EXPECT_EQ(stateText(board, 1499),
              R"({"port":"Com1","protocol":"continuous","raw":"02 03","stable":true,)"
              R"("state":"reading","station":"gate","text":"1.5kg",)"
              R"("time":"2026-12-07T12:00:00.000Z","weight":1.5})");
    EXPECT_EQ(board.state(0, 1500), "waiting");
    board.setPort(0, StationBoard::Port::Lost);
    EXPECT_EQ(board.state(0, 1500), "port-lost");
    // Back, it waits for a frame: the one before the loss is no reading of now.
    board.setPort(0, StationBoard::Port::Open);
    EXPECT_EQ(board.state(0, 1501), "waiting");
}

TEST(StationBoard, ChangesAreReportedOnceEach) {
    StationBoard board({{"a", "Com1", "continuous", {}}, {"b", "Com2", "command", {}}});
    EXPECT_EQ(board.changes(0), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(board.changes(0), std::vector<std::size_t>{});
    board.setPort(1, StationBoard::Port::Open);
    board.reading(1, kRecord, false, false, 10);
    EXPECT_EQ(board.changes(100), std::vector<std::size_t>{1});
    EXPECT_EQ(board.changes(509), std::vector<std::size_t>{});
    EXPECT_EQ(board.changes(510), std::vector<std::size_t>{1});  // waiting
}

TEST(StationBoard, AStableWeightIsTakenOnceUntilTheWeightSettlesAgain) {
    StationBoard board({{"gate", "Com1", "continuous", {}}});
    board.setPort(0, StationBoard::Port::Open);
    board.reading(0, "moving", false, false, 0);
    EXPECT_FALSE(board.takeStable(0, 0));
    board.reading(0, "settled", true, true, 100);
    EXPECT_EQ(board.takeStable(0, 100), QByteArray("settled"));
    board.reading(0, "still", true, false, 200);
    EXPECT_FALSE(board.takeStable(0, 200));
    board.reading(0, "moving", false, false, 300);
    board.reading(0, "again", true, true, 400);
    board.markTaken(0);  // a waiting request had it
    EXPECT_FALSE(board.takeStable(0, 400));
    board.reading(0, "moving", false, false, 500);
    board.reading(0, "once more", true, true, 600);
    // Stable but stale: no frame for half a second is no weighing.
    EXPECT_FALSE(board.takeStable(0, 1100));
    board.reading(0, "once more", true, false, 1200);
    EXPECT_EQ(board.takeStable(0, 1200), QByteArray("once more"));
}

}  // namespace
}  // namespace scaleread
