#include "tools/indicator-sim/line/pty/ptyreceiver.h"

// The flags' meanings, as the device layer reads them from the kernel.
#include <termios.h>

#include <cerrno>
#include <system_error>

#include "device/terminal/custombaud.h"

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
    const auto flags = scale::terminalFlags(masterFd);
    if (!flags) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot read the other side's line settings");
    }
    return receiverFromTermios(flags->inputFlags, flags->controlFlags, flags->inputBaud,
                               flags->outputBaud);
}

}  // namespace indicatorsim
