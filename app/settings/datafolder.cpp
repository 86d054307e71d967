#include "app/settings/datafolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <QFileInfo>
#endif

namespace scale {

QString dataFolder(const QString& programFolder, bool programFolderWritable,
                   const QString& userConfigFolder) {
    return programFolderWritable ? programFolder
                                 : userConfigFolder + QStringLiteral("/scale-readout");
}

bool isSystemProgramFolder(const QString& programFolder) {
    const QString folder = QDir::cleanPath(programFolder);
    return folder == QLatin1String("/usr/bin") || folder == QLatin1String("/usr/local/bin") ||
           folder == QDir::cleanPath(QStringLiteral(SCALE_INSTALL_BINDIR));
}

QString dataFolder(const QString& programFolder) {
#ifdef Q_OS_UNIX
    // access() asks the kernel, which knows read-only mounts and ACLs; the mode bits do not.
    const bool writable = ::access(QFile::encodeName(programFolder).constData(), W_OK) == 0;
#else
    const bool writable = QFileInfo(programFolder).isWritable();
#endif
    return dataFolder(programFolder, writable && !isSystemProgramFolder(programFolder),
                      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

}  // namespace scale
