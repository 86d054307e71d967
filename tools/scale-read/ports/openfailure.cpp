#include "tools/scale-read/ports/openfailure.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include <cerrno>

#include "device/network/networkline.h"
#include "device/systemreason.h"

namespace scaleread {
namespace {

QString groupName(gid_t group) {
    const struct group* entry = ::getgrgid(group);
    return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

}  // namespace

QString portLabel(const QString& shown, const QString& device) {
    return device.isEmpty() || device == shown ? shown
                                               : QStringLiteral("%1 (%2)").arg(shown, device);
}

QString openFailureText(const QString& shown, const QString& device, const QString& reason) {
    const QString prefix = QStringLiteral("cannot open ");
    if (device.isEmpty()) {
        return prefix + shown +
               QStringLiteral(": no such port (no link ports/%1 beside the program and no such "
                              "serial port on this host)")
                   .arg(shown);
    }
    if (scale::isNetworkLine(device.toStdString())) {
        return prefix + portLabel(shown, device) + QStringLiteral(": ") +
               (reason.isEmpty() ? QStringLiteral("it does not connect") : reason);
    }
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        const int error = errno;
        return prefix + portLabel(shown, device) + QStringLiteral(": ") +
               (error == ENOENT ? QStringLiteral("no such file")
                                : QString::fromStdString(scale::systemReasonText(error)));
    }
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        const QString group = groupName(info.st_gid);
        QString text = prefix + portLabel(shown, device) +
                       QStringLiteral(": permission denied; the device belongs to group %1")
                           .arg(group);
        if (info.st_gid != 0) {
            text += QStringLiteral(" (join it with 'sudo usermod -aG %1 $USER', then log in "
                                   "again)")
                        .arg(group);
        }
        return text;
    }
    return prefix + portLabel(shown, device) + QStringLiteral(": ") +
           (reason.isEmpty() ? QStringLiteral("it does not open") : reason);
}

}  // namespace scaleread
