#pragma once

#include <QByteArray>
#include <QString>

namespace scale::test {

// The indicator's end of a pseudo-terminal pair. The program's end is reached through a link,
// as an operator pins an adapter.
class PtyLine {
public:
    // Opens the pair and links `linkPath` to the program's end.
    explicit PtyLine(const QString& linkPath);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool isOpen() const { return m_master >= 0; }
    void write(const QByteArray& bytes);
    // Whatever has arrived from the program so far (does not wait).
    QByteArray readAvailable();
    // Hangs up the indicator's end: the program's end then reads errors, as after an unplug.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;  // kept open so that writes before the program opens it are not lost
};

}  // namespace scale::test
