#include <gtest/gtest.h>

#include <QStringList>

#include "support/manualclock.h"
#include "tools/scale-read/mqtt/broker/brokernotes.h"

namespace scaleread {
namespace {

// Stations share the broker: what they all run into is told once, and its end once.
TEST(BrokerNotes, ATroubleIsToldOncePerSpellAndItsEndWhenTheLastStationIsBack) {
    QStringList notes;
    scale::test::ManualClock clock;
    scale::test::ManualTimer timer(clock);
    BrokerNotes gate(QStringLiteral("the broker at b:1883"),
                     [&](const QString& text) { notes << text; }, timer);
    const int gateStation = 0;
    const int siloStation = 1;
    const BrokerFailure login{BrokerTrouble::Login, QStringLiteral("login refused")};
    const BrokerFailure away{BrokerTrouble::Away, QStringLiteral("away")};

    gate.failed(&gateStation, login);
    gate.failed(&siloStation, login);
    gate.failed(&gateStation, login);  // its next try
    gate.failed(&siloStation, away);
    gate.failed(&siloStation, login);
    gate.connected(&gateStation, 2);
    gate.connected(&siloStation, 3);
    gate.connected(&gateStation, 0);  // nothing had gone wrong for it
    clock.advance(BrokerNotes::kQuietMillis);
    gate.failed(&gateStation, away);
    gate.failed(&siloStation, away);
    gate.connected(&siloStation, 1);
    gate.connected(&gateStation, 4);

    EXPECT_EQ(notes.join('\n').toStdString(),
              "login refused\n"
              "away\n"
              "the broker at b:1883 accepted the connection; publishing 5 stable weights kept "
              "meanwhile\n"
              "away\n"
              "the broker at b:1883 is back; publishing 5 stable weights kept meanwhile");
}

// A connection that keeps failing: the first spell told, then one summary each 30 s.
TEST(BrokerNotes, AFlappingConnectionIsSummedUpEveryThirtySeconds) {
    QStringList notes;
    scale::test::ManualClock clock;
    scale::test::ManualTimer timer(clock);
    BrokerNotes broker(QStringLiteral("the broker at b:1883"),
                       [&](const QString& text) {
                           notes << QString::number(clock.now() / 1000) << text;
                       },
                       timer);
    const int station = 0;
    const BrokerFailure away{BrokerTrouble::Away, QStringLiteral("gone")};
    const BrokerFailure login{BrokerTrouble::Login, QStringLiteral("login refused")};
    for (int flap = 0; flap < 25; ++flap) {
        broker.failed(&station, away);
        broker.connected(&station, 1);
        clock.advance(1000);
    }
    clock.advance(15'000);  // 40 s
    broker.failed(&station, login);
    clock.advance(30'000);  // 70 s
    broker.connected(&station, 2);
    clock.advance(30'000);  // a quiet time without trouble
    broker.failed(&station, away);

    EXPECT_EQ(notes.join('\n').toStdString(),
              "0\ngone\n"
              "0\nthe broker at b:1883 accepted the connection; publishing 1 stable weights kept meanwhile\n"
              "30\nthe broker at b:1883 failed 24 more times in the last 30 s; connected now, "
              "publishing 24 stable weights kept meanwhile\n"
              "60\nthe broker at b:1883 failed 1 more time in the last 30 s; still failing: login "
              "refused\n"
              "70\nthe broker at b:1883 is back; publishing 2 stable weights kept meanwhile\n"
              "100\ngone");
}

}  // namespace
}  // namespace scaleread
