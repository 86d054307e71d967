#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/datafolder.h"
#include "tools/scale-read/runs.h"

namespace scaleread {

void note(const QString& text) {
    std::fprintf(stderr, "scale-read: %s\n", text.toLocal8Bit().constData());
}

std::FILE* openOutput(const QString& path) {
    if (path.isEmpty()) {
        return stdout;
    }
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "a");
    if (file == nullptr) {
        note(QStringLiteral("cannot open %1 for records: %2")
                 .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return file;
}

bool startsNewOutput(std::FILE* out) {
    return out == stdout || (std::fseek(out, 0, SEEK_END) == 0 && std::ftell(out) == 0);
}

std::string hostDecimalSeparator() {
    return QLocale::system().decimalPoint().toStdString();
}

QString portsFolder() {
    return scale::dataFolder(QCoreApplication::applicationDirPath()) + QStringLiteral("/ports");
}

}  // namespace scaleread
