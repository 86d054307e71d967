#include "tests/e2e/harness/simulatorprocess.h"

#include <QCoreApplication>

#include "tests/e2e/harness/livewindow.h"

namespace scale::test {

bool SimulatorProcess::start(const QString& link, const QStringList& arguments) {
    return startLine(QStringList{QStringLiteral("--link"), link} + arguments);
}

bool SimulatorProcess::startLine(const QStringList& arguments) {
    m_process.setProgram(QStringLiteral(INDICATOR_SIM_PATH));
    m_process.setArguments(QStringList{QStringLiteral("--verbose")} + arguments);
    m_pending.clear();
    m_events.clear();
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        return false;
    }
    const bool ready = LiveWindow::waitFor(
        [this] {
            m_pending += m_process.readAllStandardOutput();
            return m_pending.startsWith("ready ") && m_pending.contains('\n');
        },
        5000);
    m_sinceReady.start();
    if (ready) {
        m_device = QString::fromLocal8Bit(m_pending.mid(6, m_pending.indexOf('\n') - 6));
        m_pending.remove(0, m_pending.indexOf('\n') + 1);
    }
    return ready;
}

SimulatorProcess::~SimulatorProcess() {
    if (running()) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

void SimulatorProcess::collect() {
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromLatin1(m_pending.left(end));
        m_pending.remove(0, end + 1);
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 2) {
            continue;
        }
        Event event;
        event.at = words[0].toDouble();
        event.kind = words[1];
        if (event.kind == QLatin1String("tx")) {
            event.text = words.back();
            event.bytes = words.mid(2, words.size() - 3).join(QLatin1Char(' '));
        } else if (event.kind == QLatin1String("rx")) {
            event.bytes = words.mid(2).join(QLatin1Char(' '));
        } else if (event.kind == QLatin1String("request")) {
            event.text = words.mid(2).join(QLatin1Char(' '));
        }
        m_events.push_back(event);
    }
}

QStringList SimulatorProcess::shownTexts() const {
    QStringList texts;
    for (const Event& event : m_events) {
        if (event.kind == QLatin1String("tx") && event.text != QLatin1String("-")) {
            texts << event.text;
        }
    }
    return texts;
}

}  // namespace scale::test
