#pragma once

#include <string>

#include "tools/indicator-sim/line/line.h"

namespace indicatorsim {

// A pseudo-terminal in raw mode, reached through a symbolic link to its slave side. The
// simulator writes on the master side; the tool under test opens the link.
class PtyLine : public Line {
public:
    // Creates the pseudo-terminal and the link. An existing symbolic link at `linkPath` is
    // replaced and missing folders above it are created; any other file there is left alone and
    // refused.
    explicit PtyLine(std::string linkPath);
    ~PtyLine() override;

    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    int fd() const override { return m_master; }
    std::string devicePath() const override { return m_slavePath; }
    void send(std::span<const std::uint8_t> bytes) override;
    std::size_t unsentBytes() const override;

private:
    int m_master = -1;
    // Held open for the whole run: without it the master side sees a hang-up whenever the tool
    // under test has the device closed, and poll would report that without pause.
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

}  // namespace indicatorsim
