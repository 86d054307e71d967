#include "tools/indicator-sim/ptyreceiver.h"

// The kernel's termios2 reports custom rates as numbers; its header clashes with the C library's
// termios.h, so this file uses it alone.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <system_error>

namespace indicatorsim {

ReceiverSettings receiverFromTermios(unsigned inputFlags, unsigned controlFlags, unsigned inputBaud,
                                     unsigned outputBaud) {
    ReceiverSettings receiver;
    receiver.baud = static_cast<long>(inputBaud != 0 ? inputBaud : outputBaud);
    switch (controlFlags & CSIZE) {
        case CS5:
            receiver.dataBits = 5;
            break;
        case CS6:
            receiver.dataBits = 6;
            break;
        case CS7:
            receiver.dataBits = 7;
            break;
        default:
            receiver.dataBits = 8;
            break;
    }
    if ((controlFlags & PARENB) != 0) {
        const bool odd = (controlFlags & PARODD) != 0;
        if ((controlFlags & CMSPAR) != 0) {
            receiver.parity = odd ? ReceiverParity::Mark : ReceiverParity::Space;
        } else {
            receiver.parity = odd ? ReceiverParity::Odd : ReceiverParity::Even;
        }
    }
    receiver.stopBits = (controlFlags & CSTOPB) != 0 ? 2 : 1;
    receiver.checkErrors = (inputFlags & INPCK) != 0;
    receiver.ignoreErrors = (inputFlags & IGNPAR) != 0;
    receiver.markErrors = (inputFlags & PARMRK) != 0;
    return receiver;
}

ReceiverSettings readReceiverSettings(int masterFd) {
    termios2 settings{};
    if (::ioctl(masterFd, TCGETS2, &settings) != 0) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot read the other side's line settings");
    }
    return receiverFromTermios(settings.c_iflag, settings.c_cflag, settings.c_ispeed,
                               settings.c_ospeed);
}

}  // namespace indicatorsim
