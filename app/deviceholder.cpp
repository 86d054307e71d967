#include "app/deviceholder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace scale {
namespace {

// The same node, or another node of the same character device (a link, a second /dev).
bool sameDevice(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) {
        return a.st_rdev == b.st_rdev;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::optional<DeviceHolder> deviceHolder(const QString& devicePath) {
    struct stat wanted {};
    if (::stat(QFile::encodeName(devicePath).constData(), &wanted) != 0) {
        return std::nullopt;
    }
    const QString self = QString::number(::getpid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 number = pid.toLongLong(&numeric);
        if (!numeric || pid == self) {
            continue;
        }
        // Another user's descriptors are not listed unless this user may see them.
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QString& fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            struct stat open {};
            // stat follows the descriptor's link to what is open, whatever name opened it.
            if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &open) != 0 ||
                !sameDevice(open, wanted)) {
                continue;
            }
            QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
            QString program;
            if (comm.open(QIODevice::ReadOnly)) {
                program = QString::fromLocal8Bit(comm.readAll()).trimmed();
            }
            return DeviceHolder{number, program};
        }
    }
    return std::nullopt;
}

}  // namespace scale
