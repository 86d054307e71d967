#include "tools/scale-read/mqtt/broker/clientkey.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>

namespace scaleread {

std::string randomClientKey() {
    return QByteArray::number(QRandomGenerator::system()->generate64(), 16)
        .rightJustified(16, '0')
        .toStdString();
}

ClientKey installationClientKey(const QString& folder,
                                const std::function<std::string()>& random) {
    const QString path = folder + QStringLiteral("/mqtt-client-key");
    QFile kept(path);
    if (kept.open(QIODevice::ReadOnly)) {
        // Anything else in it (cut short, edited) is replaced.
        const QString text = QString::fromLatin1(kept.read(64)).trimmed();
        static const QRegularExpression form(QStringLiteral("^[0-9a-f]{16}$"));
        if (form.match(text).hasMatch()) {
            return {text.toStdString(), std::nullopt};
        }
    }
    ClientKey made{random(), std::nullopt};
    QSaveFile file(path);
    QString reason;
    if (!QDir().mkpath(folder)) {
        reason = QStringLiteral("cannot make the folder");
    } else if (!file.open(QIODevice::WriteOnly) ||
               !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
               file.write(QByteArray::fromStdString(made.key + "\n")) < 0 || !file.commit()) {
        reason = file.errorString().toLower();
    }
    if (!reason.isEmpty()) {
        made.problem =
            QStringLiteral("cannot keep the MQTT client id's random part in %1 (%2); the broker "
                           "sees new client ids at each start")
                .arg(path, reason);
    }
    return made;
}

}  // namespace scaleread
