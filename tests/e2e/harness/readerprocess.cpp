#include "tests/e2e/harness/readerprocess.h"

#include <signal.h>
#include <QDateTime>
#include <QRegularExpression>

#include "tests/e2e/harness/livewindow.h"

namespace scale::test {
namespace {

// A record's time in any of the three formats: "2026-12-07T12:34:56.789Z" or, in text,
// "2026-12-07 12:34:56.789Z" (or with the local zone's "+08:00").
const QRegularExpression& timePattern() {
    static const QRegularExpression pattern(
        QStringLiteral(R"(\d{4}-\d\d-\d\d[T ]\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)?)"));
    return pattern;
}

QStringList wholeLines(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    lines.removeLast();  // after the last line end: empty, or a line still being written
    return lines;
}

}  // namespace

bool ReaderProcess::start(const QStringList& arguments, const QString& program) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    m_process.setProcessEnvironment(environment);
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.start();
    return m_process.waitForStarted(5000);
}

ReaderProcess::~ReaderProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

int ReaderProcess::run(const QStringList& arguments, int milliseconds) {
    if (!start(arguments) || !waitForExit(milliseconds)) {
        return -1;
    }
    return exitCode();
}

bool ReaderProcess::waitForExit(int milliseconds) {
    const bool ended = LiveWindow::waitFor(
        [this] { return m_process.state() == QProcess::NotRunning; }, milliseconds);
    if (!ended) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    collect();
    return ended;
}

bool ReaderProcess::waitForLines(int count, int milliseconds) {
    return LiveWindow::waitFor([&] { return lines().size() >= count; }, milliseconds);
}

bool ReaderProcess::waitForErrorLine(const QString& line, int milliseconds) {
    return LiveWindow::waitFor([&] { return errorLines().contains(line); }, milliseconds);
}

void ReaderProcess::signal(int number) {
    ::kill(static_cast<pid_t>(m_process.processId()), number);
}

int ReaderProcess::exitCode() const {
    if (m_process.state() != QProcess::NotRunning ||
        m_process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return m_process.exitCode();
}

const QByteArray& ReaderProcess::output() {
    collect();
    return m_output;
}

QStringList ReaderProcess::lines() {
    return wholeLines(output());
}

QStringList ReaderProcess::maskedLines() {
    return withTimesMasked(lines());
}

QList<qint64> ReaderProcess::times() {
    return recordTimes(lines());
}

QStringList ReaderProcess::errorLines() {
    collect();
    return wholeLines(m_errors);
}

QString ReaderProcess::errorText() {
    collect();
    return QString::fromUtf8(m_errors);
}

void ReaderProcess::collect() {
    m_output += m_process.readAllStandardOutput();
    m_errors += m_process.readAllStandardError();
}

QStringList withTimesMasked(QStringList lines) {
    for (QString& line : lines) {
        const QRegularExpressionMatch time = timePattern().match(line);
        if (time.hasMatch()) {
            line.replace(time.capturedStart(), time.capturedLength(), QStringLiteral("TIME"));
        }
    }
    return lines;
}

QList<qint64> recordTimes(const QStringList& lines) {
    QList<qint64> times;
    for (const QString& line : lines) {
        QString time = timePattern().match(line).captured();
        if (time.isEmpty()) {
            times << -1;
            continue;
        }
        time[10] = QLatin1Char('T');
        if (time.size() == 23) {  // no zone: UTC
            time += QLatin1Char('Z');
        }
        const QDateTime parsed = QDateTime::fromString(time, Qt::ISODateWithMs);
        times << (parsed.isValid() ? parsed.toMSecsSinceEpoch() : -1);
    }
    return times;
}

}  // namespace scale::test
