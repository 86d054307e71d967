#include "tools/scale-read/serve/serveoutlet.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <list>

#include "device/systemreason.h"
#include "device/terminal/terminalline.h"
#include "tools/scale-read/serve/servedstation.h"

namespace scaleread {
namespace {

// Clients of one target at most; more are turned away.
constexpr int kMostClients = 16;
// Answers a client has not taken; beyond this it is not reading, and is let go.
constexpr qint64 kMostUnread = 64 * 1024;

}  // namespace

struct ServeOutlet::Target {
    ServeTarget wanted;
    std::size_t station = 0;
    StationView view;
    QTcpServer server;
    struct Client {
        QTcpSocket* socket;
        std::unique_ptr<ServedClient> served;
    };
    std::list<Client> clients;
    // The pseudo-terminal: its master, and the slave held open so that the master never sees a
    // hang-up while the software has the port closed.
    int master = -1;
    int slave = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<ServedClient> ptyClient;

    ~Target() {
        ptyClient.reset();
        notifier.reset();
        if (master >= 0) {
            ::close(master);
            ::close(slave);
            QFile::remove(wanted.link);
        }
        // The sockets go first, without a word to the handlers of a target that is going.
        for (Client& client : clients) {
            QObject::disconnect(client.socket, nullptr, nullptr, nullptr);
            delete client.socket;
        }
    }
};

ServeOutlet::ServeOutlet(std::vector<ServeTarget> targets, StationControl& stations,
                         bool commandsAllowed, const Clock& clock, Note note)
    : m_stations(stations),
      m_commandsAllowed(commandsAllowed),
      m_clock(clock),
      m_note(std::move(note)) {
    for (ServeTarget& wanted : targets) {
        auto target = std::make_unique<Target>();
        target->wanted = std::move(wanted);
        for (std::size_t i = 0; i < m_stations.stationCount(); ++i) {
            if (QString::fromStdString(m_stations.source(i).station) == target->wanted.station) {
                target->station = i;
            }
        }
        m_targets.push_back(std::move(target));
    }
}

ServeOutlet::~ServeOutlet() = default;

bool ServeOutlet::start(QString& error) {
    for (auto& owned : m_targets) {
        Target& target = *owned;
        const QString what =
            QStringLiteral("%1%2 as %3")
                .arg(
                    target.wanted.station.isEmpty() ? QString() : QStringLiteral("station "),
                    target.wanted.station.isEmpty() ? QStringLiteral("the port")
                                                    : target.wanted.station,
                    QString::fromLatin1(target.wanted.format->name.data(),
                                        static_cast<qsizetype>(target.wanted.format->name.size())));
        if (!target.wanted.link.isEmpty()) {
            const QByteArray link = QFile::encodeName(target.wanted.link);
            struct stat info {};
            if (::lstat(link.constData(), &info) == 0 && !S_ISLNK(info.st_mode)) {
                error = QStringLiteral("--serve: %1 exists and is no link; not replaced")
                            .arg(target.wanted.link);
                return false;
            }
            char name[256] = {};
            if (::openpty(&target.master, &target.slave, name, nullptr, nullptr) != 0) {
                error = QStringLiteral("--serve: cannot make a pseudo-terminal: %1")
                            .arg(QString::fromStdString(scale::systemReasonText(errno)));
                return false;
            }
            (void)scale::setTerminalRaw(target.master);
            (void)scale::setTerminalRaw(target.slave);
            ::fcntl(target.master, F_SETFL, ::fcntl(target.master, F_GETFL) | O_NONBLOCK);
            ::unlink(link.constData());
            if (::symlink(name, link.constData()) != 0) {
                error = QStringLiteral("--serve: cannot link %1: %2")
                            .arg(target.wanted.link,
                                 QString::fromStdString(scale::systemReasonText(errno)));
                ::close(target.master);
                ::close(target.slave);
                target.master = -1;
                return false;
            }
            m_note(QStringLiteral("serving %1 on %2 (%3)")
                       .arg(what, target.wanted.link, QString::fromLocal8Bit(name)));
        } else {
            if (!target.server.listen(QHostAddress(target.wanted.address), target.wanted.port)) {
                error = QStringLiteral("--serve: cannot listen on %1:%2: %3")
                            .arg(target.wanted.address)
                            .arg(target.wanted.port)
                            .arg(target.server.errorString().toLower());
                return false;
            }
            m_note(QStringLiteral("serving %1 on tcp://%2:%3")
                       .arg(what, target.wanted.address)
                       .arg(target.server.serverPort()));
        }
        startTarget(target);
    }
    return true;
}

void ServeOutlet::startTarget(Target& target) {
    const auto commandFor = [this, &target]() -> ServedClient::Command {
        if (!m_commandsAllowed) {
            return {};
        }
        return [this, &target](CommandKind kind, ServedClient::CommandDone done) {
            (void)m_stations.sendCommand(
                target.station, kind,
                [done](CommandResult result, const std::string&) { done(result); });
        };
    };
    if (target.master >= 0) {
        const int master = target.master;
        target.ptyClient = std::make_unique<ServedClient>(
            *target.wanted.format, target.view,
            [master](const std::string& answer) {
                // Nobody reading: the pseudo-terminal's queue fills and answers are dropped.
                (void)!::write(master, answer.data(), answer.size());
            },
            commandFor());
        target.notifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
        QObject::connect(target.notifier.get(), &QSocketNotifier::activated, [this, &target] {
            std::uint8_t bytes[512];
            const ssize_t count = ::read(target.master, bytes, sizeof bytes);
            if (count > 0) {
                target.ptyClient->received(std::span(bytes, static_cast<std::size_t>(count)),
                                           m_clock.steadyMicros());
            }
        });
        return;
    }
    QObject::connect(&target.server, &QTcpServer::newConnection, [this, &target, commandFor] {
        while (QTcpSocket* socket = target.server.nextPendingConnection()) {
            if (target.clients.size() >= kMostClients) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            auto& client = target.clients.emplace_back();
            client.socket = socket;
            client.served = std::make_unique<ServedClient>(
                *target.wanted.format, target.view,
                [socket](const std::string& answer) {
                    if (socket->bytesToWrite() > kMostUnread) {
                        // Let go from the event loop: this runs inside the client's own handling.
                        QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
                        return;
                    }
                    socket->write(answer.data(), static_cast<qint64>(answer.size()));
                },
                commandFor());
            QObject::connect(
                socket, &QTcpSocket::readyRead, [this, socket, served = client.served.get()] {
                    while (socket->bytesAvailable() > 0) {
                        const QByteArray bytes = socket->read(4096);
                        served->received(
                            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<std::size_t>(bytes.size())),
                            m_clock.steadyMicros());
                    }
                });
            QObject::connect(socket, &QTcpSocket::disconnected, [&target, socket] {
                target.clients.remove_if(
                    [socket](const Target::Client& c) { return c.socket == socket; });
                socket->deleteLater();
            });
        }
    });
}

void ServeOutlet::record(const Record& record) {
    const std::int64_t now = m_clock.steadyMicros();
    for (auto& target : m_targets) {
        if (target->station != record.station) {
            continue;
        }
        target->view.frame(record.frame, record.stable, now);
        if (target->ptyClient) {
            target->ptyClient->frameArrived(now);
        }
        for (Target::Client& client : target->clients) {
            client.served->frameArrived(now);
        }
    }
}

void ServeOutlet::portChanged(std::size_t station, PortState state, const QString&) {
    for (auto& target : m_targets) {
        if (target->station == station) {
            target->view.portOpen(state == PortState::Open);
        }
    }
}

}  // namespace scaleread
