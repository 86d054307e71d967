#pragma once

#include <unistd.h>
#include <QByteArray>
#include <QString>

#include <exception>
#include <memory>
#include <span>

#include "tools/indicator-sim/line/pty/ptyline.h"

namespace scale::test {

// The indicator's end of a pseudo-terminal for tests that write the bytes themselves: the
// simulator's own line behind the program's ports/ComN link, with reading and hanging up added.
class IndicatorEnd {
public:
    explicit IndicatorEnd(const QString& linkPath) {
        try {
            m_line = std::make_unique<indicatorsim::PtyLine>(linkPath.toStdString());
        } catch (const std::exception&) {
            // isOpen() tells the test.
        }
    }

    bool isOpen() const { return m_line != nullptr; }

    void write(const QByteArray& bytes) {
        if (!m_line) {
            return;
        }
        try {
            m_line->send(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size())));
        } catch (const std::exception&) {
            hangUp();
        }
    }

    // Whatever has arrived from the program so far (does not wait).
    QByteArray readAvailable() {
        QByteArray bytes;
        char buffer[256];
        ssize_t n = 0;
        while (m_line && (n = ::read(m_line->fd(), buffer, sizeof buffer)) > 0) {
            bytes.append(buffer, n);
        }
        return bytes;
    }

    // The cable pulled: the link goes and the program's end reads a hang-up.
    void hangUp() { m_line.reset(); }

private:
    std::unique_ptr<indicatorsim::PtyLine> m_line;
};

}  // namespace scale::test
