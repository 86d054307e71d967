#pragma once

#include <QProcess>
#include <QStringList>

namespace scale::test {

// scale-read as a child process in the C locale, its output collected while the test's event
// loop runs (so a simulator started beside it keeps being read too).
class ReaderProcess {
public:
    // Starts `program` (scale-read itself, or a copy of it in a folder of its own).
    bool start(const QStringList& arguments,
               const QString& program = QStringLiteral(SCALE_READ_PATH));
    ~ReaderProcess();

    // Starts it and waits for it to end; its exit status, or -1 when it did not end in time.
    int run(const QStringList& arguments, int milliseconds);
    // True once it has ended, within `milliseconds` (killed after that).
    bool waitForExit(int milliseconds);
    // True once `count` whole lines have come on standard output, within `milliseconds`.
    bool waitForLines(int count, int milliseconds);
    // True once standard error holds the line `line`, within `milliseconds`.
    bool waitForErrorLine(const QString& line, int milliseconds);
    void signal(int number);
    qint64 pid() const { return m_process.processId(); }

    // The exit status, -1 for a crash or a run that has not ended.
    int exitCode() const;
    // Everything written on standard output so far.
    const QByteArray& output();
    // Its whole lines.
    QStringList lines();
    // The same with each record's time replaced by "TIME".
    QStringList maskedLines();
    // Each record's time, in milliseconds since the epoch.
    QList<qint64> times();
    QStringList errorLines();
    // Everything written on standard error so far, as it came.
    QString errorText();

private:
    void collect();

    QProcess m_process;
    QByteArray m_output;
    QByteArray m_errors;
};

// `lines` with each record's time (in any of the three formats) replaced by "TIME".
QStringList withTimesMasked(QStringList lines);
// Each line's record time in milliseconds since the epoch, -1 for a line without one.
QList<qint64> recordTimes(const QStringList& lines);

}  // namespace scale::test
