#pragma once

#include <gtest/gtest.h>
#include <QProcess>
#include <QTemporaryDir>

#include <string>

#include "tests/e2e/harness/readerprocess.h"
#include "tests/e2e/harness/simulatorprocess.h"

namespace scale::test {

// A folder for links, recordings and record files, and the indicator simulator on a link in it.
class ReaderFixture : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_folder.path() + QLatin1Char('/') + name; }
    QString link() const { return path(QStringLiteral("line")); }

    // A jsonl reading as scale-read writes it, its time masked; the window's protocols read kg.
    static QString reading(const QString& port, const QString& protocol, const QString& weight,
                           const QString& text, bool stable, const QString& raw) {
        return QStringLiteral(
                   R"({"time":"TIME","port":"%1","protocol":"%2","weight":%3,"text":"%4",)"
                   R"("stable":%5,"raw":"%6","unit":"kg"})")
            .arg(port, protocol, weight, text,
                 stable ? QStringLiteral("true") : QStringLiteral("false"), raw);
    }

    // Lines as one text, for whole comparisons that show every line when they fail.
    static std::string joined(const QStringList& lines) {
        return lines.join(QLatin1Char('\n')).toStdString();
    }

    QTemporaryDir m_folder;  // first: the simulators below remove their links in it on exit
    SimulatorProcess sim;
};

}  // namespace scale::test
