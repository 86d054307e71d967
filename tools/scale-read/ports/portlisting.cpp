#include "tools/scale-read/ports/portlisting.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <climits>

#include "app/serial/portnames.h"

namespace scaleread {
namespace {

constexpr int kLastPort = 20;

// Chips that brltty's device rules claim as braille displays, which are also common USB-serial
// adapters.
const QStringList kBrlttyChips = {
    QStringLiteral("0403:6001"),  // FTDI FT232
    QStringLiteral("10c4:ea60"),  // Silicon Labs CP210x
    QStringLiteral("1a86:7523"),  // WCH CH340
};

QString canonical(const QString& path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(path) : resolved;
}

QString firstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readLine(4096)).trimmed();
}

// The names of the programs running, as far as this user may see.
QSet<QString> runningPrograms(const QString& proc) {
    QSet<QString> programs;
    const QDir root(proc);
    for (const QString& pid : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid.front().isDigit()) {
            programs.insert(firstLine(root.filePath(pid + QStringLiteral("/comm"))));
        }
    }
    return programs;
}

// The device's driver, and its USB device's facts when it hangs below one.
void readSysfs(PortEntry& entry, const QString& name, const QString& sys) {
    const QString sysRoot = canonical(sys);
    const QString device =
        QFileInfo(sys + QStringLiteral("/class/tty/") + name + QStringLiteral("/device"))
            .canonicalFilePath();
    if (device.isEmpty()) {
        return;
    }
    // Newer kernels put the serial core's own "port" and "ctrl" devices between a built-in port
    // and the device its driver serves.
    for (QString dir = device; dir.startsWith(sysRoot + QLatin1Char('/'));
         dir = QFileInfo(dir).path()) {
        const QFileInfo driver(dir + QStringLiteral("/driver"));
        if (driver.isSymLink() && !driver.symLinkTarget().contains(QStringLiteral("/serial-base/"))) {
            entry.driver = QFileInfo(driver.symLinkTarget()).fileName();
            break;
        }
    }
    for (QString dir = device; dir.startsWith(sysRoot + QLatin1Char('/'));
         dir = QFileInfo(dir).path()) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor"))) {
            const auto fact = [&dir](const char* file) {
                return firstLine(dir + QLatin1Char('/') + QLatin1String(file));
            };
            entry.usbId = fact("idVendor") + QLatin1Char(':') + fact("idProduct");
            entry.maker = fact("manufacturer");
            entry.product = fact("product");
            entry.serial = fact("serial");
            return;
        }
    }
}

QString byIdName(const QString& key, const QString& dev) {
    const QDir byId(dev + QStringLiteral("/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::AllEntries | QDir::System |
                                                        QDir::NoDotAndDotDot,
                                                    QDir::Name)) {
        if (link.canonicalFilePath() == key) {
            return link.absoluteFilePath();
        }
    }
    return {};
}

QStringList conflictsOf(const PortEntry& entry, const QSet<QString>& running) {
    QStringList conflicts;
    const bool acm = QFileInfo(entry.device).fileName().startsWith(QStringLiteral("ttyACM")) ||
                     entry.driver == QLatin1String("cdc_acm");
    if (acm && running.contains(QStringLiteral("ModemManager"))) {
        conflicts << QStringLiteral("ModemManager is running and probes new ACM devices as "
                                    "modems, holding the port for a while after it appears");
    }
    if (kBrlttyChips.contains(entry.usbId) && running.contains(QStringLiteral("brltty"))) {
        conflicts << QStringLiteral("brltty is running and claims %1 adapters as braille "
                                    "displays")
                         .arg(entry.usbId);
    }
    return conflicts;
}

QString textValue(const QString& value) {
    static const QString plain = QStringLiteral(" \"\\=");
    const bool quoted = value.isEmpty() || std::any_of(value.begin(), value.end(), [](QChar c) {
                            return plain.contains(c) || !c.isPrint();
                        });
    if (!quoted) {
        return value;
    }
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString jsonString(const QString& value) {
    QString out = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\') + c;
        } else if (c.unicode() < 0x20) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString jsonText(const QString& value) {
    return value.isEmpty() ? QStringLiteral("null") : jsonString(value);
}

QString jsonList(const QStringList& values) {
    QStringList items;
    for (const QString& value : values) {
        items << jsonString(value);
    }
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

QString groupHint(const PortEntry& entry) {
    if (!entry.access.exists || entry.access.mayOpen || entry.access.group.isEmpty() ||
        entry.access.group == QLatin1String("root")) {
        return {};
    }
    return QStringLiteral("sudo usermod -aG %1 $USER, then log in again").arg(entry.access.group);
}

QString holderText(const PortEntry& entry) {
    return entry.holder ? QStringLiteral("%1 (pid %2)").arg(entry.holder->program).arg(entry.holder->pid)
                        : QString();
}

QString textLine(const PortEntry& entry) {
    QStringList fields;
    fields << (entry.comNames.isEmpty() ? QStringLiteral("-")
                                        : entry.comNames.join(QLatin1Char(',')))
           << textValue(entry.device);
    for (const QString& link : entry.links) {
        fields << QStringLiteral("link=ports/") + link;
    }
    const auto add = [&fields](const char* key, const QString& value) {
        if (!value.isEmpty()) {
            fields << QLatin1String(key) + QLatin1Char('=') + textValue(value);
        }
    };
    add("by_id", entry.byId);
    add("usb", entry.usbId);
    add("maker", entry.maker);
    add("product", entry.product);
    add("serial", entry.serial);
    add("driver", entry.driver);
    if (entry.access.exists) {
        add("group", entry.access.group);
        add("access", entry.access.mayOpen ? QStringLiteral("yes") : QStringLiteral("no"));
        add("hint", groupHint(entry));
    } else {
        add("missing", QStringLiteral("yes"));
    }
    add("held_by", holderText(entry));
    for (const QString& conflict : entry.conflicts) {
        add("conflict", conflict);
    }
    return fields.join(QLatin1Char(' '));
}

QString jsonLine(const PortEntry& entry) {
    const auto flag = [](bool value) {
        return value ? QStringLiteral("true") : QStringLiteral("false");
    };
    const QString holder =
        entry.holder ? QStringLiteral("{\"pid\":%1,\"program\":%2}")
                           .arg(entry.holder->pid)
                           .arg(jsonString(entry.holder->program))
                     : QStringLiteral("null");
    QStringList fields = {
        QStringLiteral("\"com\":") + jsonList(entry.comNames),
        QStringLiteral("\"links\":") + jsonList(entry.links),
        QStringLiteral("\"device\":") + jsonString(entry.device),
        QStringLiteral("\"by_id\":") + jsonText(entry.byId),
        QStringLiteral("\"usb\":") + jsonText(entry.usbId),
        QStringLiteral("\"maker\":") + jsonText(entry.maker),
        QStringLiteral("\"product\":") + jsonText(entry.product),
        QStringLiteral("\"serial\":") + jsonText(entry.serial),
        QStringLiteral("\"driver\":") + jsonText(entry.driver),
        QStringLiteral("\"missing\":") + flag(!entry.access.exists),
        QStringLiteral("\"group\":") + jsonText(entry.access.group),
        QStringLiteral("\"access\":") + flag(entry.access.mayOpen),
        QStringLiteral("\"hint\":") + jsonText(groupHint(entry)),
        QStringLiteral("\"held_by\":") + holder,
        QStringLiteral("\"conflicts\":") + jsonList(entry.conflicts),
    };
    return QLatin1Char('{') + fields.join(QLatin1Char(',')) + QLatin1Char('}');
}

}  // namespace

DeviceAccess deviceAccess(const QString& device) {
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        return {};
    }
    const struct group* entry = ::getgrgid(info.st_gid);
    return {true,
            entry != nullptr ? QString::fromLocal8Bit(entry->gr_name)
                             : QString::number(info.st_gid),
            ::access(path.constData(), R_OK | W_OK) == 0};
}

std::optional<scale::DeviceHolder> portHolder(const QString& device) {
    struct stat node {};
    if (::stat(QFile::encodeName(device).constData(), &node) != 0) {
        return std::nullopt;
    }
    // Pseudo-terminal slaves have the majors 136 to 143.
    const unsigned int kind = major(node.st_rdev);
    const bool pseudoTerminal = S_ISCHR(node.st_mode) && kind >= 136 && kind <= 143;
    return pseudoTerminal ? scale::deviceLockHolder(device) : scale::deviceHolder(device);
}

std::vector<PortEntry> listPorts(const QStringList& hostPorts, const QString& portsFolder,
                                 const HostView& host) {
    std::vector<PortEntry> entries;
    QStringList keys;  // canonical paths, by entry
    const auto entryFor = [&](const QString& device) -> PortEntry& {
        const QString key = canonical(device);
        const qsizetype at = keys.indexOf(key);
        if (at >= 0) {
            return entries[static_cast<std::size_t>(at)];
        }
        keys << key;
        entries.push_back(PortEntry{});
        entries.back().device = device;
        return entries.back();
    };
    for (const QString& device : hostPorts) {
        entryFor(device);
    }
    for (int port = 1; port <= kLastPort; ++port) {
        const QString device = scale::resolvePortDevice(port, portsFolder, hostPorts);
        if (device.isEmpty()) {
            continue;
        }
        PortEntry& entry = entryFor(device);
        const QString name = QStringLiteral("Com") + QString::number(port);
        entry.comNames << name;
        if (scale::linkedPortDevice(port, portsFolder)) {
            entry.links << name;
        }
    }
    // The order of the first "ComN" that reaches each device; the host's order among the rest.
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    const auto firstPort = [&entries](std::size_t i) {
        return entries[i].comNames.isEmpty() ? INT_MAX
                                             : entries[i].comNames.first().mid(3).toInt();
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return firstPort(a) < firstPort(b);
    });

    const QSet<QString> running = runningPrograms(host.proc);
    std::vector<PortEntry> listed;
    for (const std::size_t i : order) {
        PortEntry entry = entries[i];
        const QString key = keys.at(static_cast<qsizetype>(i));
        readSysfs(entry, QFileInfo(key).fileName(), host.sys);
        entry.byId = byIdName(key, host.dev);
        entry.access = host.access(entry.device);
        if (entry.access.exists) {
            entry.holder = host.holder(entry.device);
        }
        entry.conflicts = conflictsOf(entry, running);
        listed.push_back(std::move(entry));
    }
    return listed;
}

QString portLine(const PortEntry& entry, OutputFormat format) {
    return format == OutputFormat::Jsonl ? jsonLine(entry) : textLine(entry);
}

}  // namespace scaleread
