// Each format family end to end: the simulator speaking it on a pseudo-terminal, scale-read
// reading it with the same protocol name, and the record compared whole. A described format
// comes from a formats file that both programs read.
#include <QFile>

#include <memory>
#include <vector>

#include "tests/e2e/harness/readerfixture.h"
#include "tests/support/plantformats.h"

namespace scale::test {
namespace {

class FormatFamiliesTest : public ReaderFixture {};

TEST_F(FormatFamiliesTest, EachFormatIsReadAsTheSimulatorSpeaksIt) {
    struct Case {
        QString protocol;
        QString record;  // after "protocol", its time and port masked
    };
    // Formats that do not say whether the weight moves are measured, and the first reading of
    // a run is not yet stable.
    const Case cases[] = {
        {"continuous",
         R"("weight":12.345,"text":"12.345kg","stable":false,"raw":"02 2B 30 31 32 33 34 35 33 31 39 03","unit":"kg")"},
        {"command",
         R"("weight":12.345,"text":"12.345kg","stable":false,"raw":"02 41 42 2B 30 31 32 33 34 35 33 31 41 03","unit":"kg")"},
        {"shentong",
         R"("weight":12.345,"text":"12.345kg","stable":false,"raw":"3D 35 34 33 2E 32 31 30","unit":"kg")"},
        {"toledo",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"02 2D 30 20 20 31 32 33 34 35 20 20 30 30 30 30 0D 55","unit":"kg","mode":"gross","motion":false,"tare":0.000)"},
        {"sics",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"53 20 53 20 20 20 20 20 31 32 2E 33 34 35 20 6B 67 0D","unit":"kg","motion":false)"},
        {"ad",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"53 54 2C 47 53 2C 2B 30 31 32 2E 33 34 35 6B 67 0D","unit":"kg","mode":"gross","motion":false)"},
        {"sbi",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"2B 20 20 20 31 32 2E 33 34 35 20 6B 67 20 0D","unit":"kg","motion":false)"},
        {"sma",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"0A 20 31 47 20 20 20 20 20 20 31 32 2E 33 34 35 6B 67 20 0D","unit":"kg","mode":"gross","motion":false)"},
        {"rice-lake",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"02 20 20 31 32 2E 33 34 35 4B 47 20 0D","unit":"kg","mode":"gross","motion":false)"},
        {"cardinal",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"0D 20 31 32 2E 33 34 35 20 20 6B 67 20 47 20 20 03","unit":"kg","mode":"gross","motion":false)"},
        {"weigh-tronix",
         R"("weight":12.345,"text":"12.345kg","stable":false,"raw":"20 47 20 31 32 2E 33 34 35 20 6B 67 0D","unit":"kg","mode":"gross")"},
        {"8217", R"("weight":12.345,"text":"12.345","stable":false,"raw":"02 31 32 2E 33 34 35 0D")"},
        {"yard-line",
         R"("weight":12.345,"text":"12.345kg","stable":true,"raw":"57 54 3A 20 20 20 31 32 2E 33 34 35 20 6B 67 20 47 52 20 53 54 0D","unit":"kg","mode":"gross","motion":false)"},
        {"silo-poll",
         R"("weight":12.345,"text":"12.345t","stable":false,"raw":"02 31 32 2E 33 34 35 03","unit":"t")"},
    };
    QFile formats(path(QStringLiteral("plant.toml")));
    ASSERT_TRUE(formats.open(QIODevice::WriteOnly));
    formats.write(kPlantFormats.data(), static_cast<qint64>(kPlantFormats.size()));
    formats.close();
    const QStringList withFormats = {QStringLiteral("--formats"), formats.fileName()};

    // All pairs at once, so that the whole family takes about as long as one of them.
    std::vector<std::unique_ptr<SimulatorProcess>> indicators;
    std::vector<std::unique_ptr<ReaderProcess>> readers;
    for (const Case& c : cases) {
        const QString port = path(c.protocol);
        auto indicator = std::make_unique<SimulatorProcess>();
        ASSERT_TRUE(indicator->start(port, QStringList{"--protocol", c.protocol, "--weight",
                                                       "fixed:12.345", "--decimals", "3"} +
                                               withFormats))
            << c.protocol.toStdString();
        auto reader = std::make_unique<ReaderProcess>();
        ASSERT_TRUE(reader->start(QStringList{"--port", port, "--protocol", c.protocol, "--count",
                                              "1", "--quiet"} +
                                  withFormats));
        indicators.push_back(std::move(indicator));
        readers.push_back(std::move(reader));
    }
    QStringList expected;
    QStringList got;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        expected << QStringLiteral(R"({"time":"TIME","port":"PORT","protocol":"%1",%2})")
                        .arg(c.protocol, c.record);
        EXPECT_TRUE(readers[i]->waitForExit(5000)) << c.protocol.toStdString();
        got << readers[i]->maskedLines().join(QLatin1Char('|')).replace(path(c.protocol),
                                                                         QStringLiteral("PORT"));
    }
    EXPECT_EQ(joined(expected), joined(got));
}

}  // namespace
}  // namespace scale::test
