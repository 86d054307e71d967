#pragma once

#include "tools/indicator-sim/line/linemodel.h"

namespace indicatorsim {

// The receiver the other side of a pseudo-terminal has set up, read on the master side, which
// reports the slave side's settings: the input baud (custom rates too; the output baud when no
// input baud is set), CSIZE, PARENB with PARODD and CMSPAR, CSTOPB, and the INPCK, IGNPAR and
// PARMRK input flags. Failures are std::system_error.
ReceiverSettings readReceiverSettings(int masterFd);

// The same from the termios2 fields, as the kernel reports them.
ReceiverSettings receiverFromTermios(unsigned inputFlags, unsigned controlFlags, unsigned inputBaud,
                                     unsigned outputBaud);

}  // namespace indicatorsim
