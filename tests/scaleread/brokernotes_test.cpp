#include <gtest/gtest.h>

#include <QStringList>

#include "tools/scale-read/brokernotes.h"

namespace scaleread {
namespace {

// Stations share the broker: what they all run into is told once, and its end once.
TEST(BrokerNotes, ATroubleIsToldOncePerSpellAndItsEndWhenTheLastStationIsBack) {
    QStringList notes;
    BrokerNotes gate(QStringLiteral("the broker at b:1883"),
                     [&](const QString& text) { notes << text; });
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

}  // namespace
}  // namespace scaleread
