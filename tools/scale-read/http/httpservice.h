#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocols/stream/framestream.h"
#include "tools/scale-read/clock.h"
#include "tools/scale-read/http/events/eventclients.h"
#include "tools/scale-read/http/httpoptions.h"
#include "tools/scale-read/http/server/httpaccess.h"
#include "tools/scale-read/http/server/httpconnection.h"
#include "tools/scale-read/http/stationstate/stablewaits.h"
#include "tools/scale-read/http/stationstate/stationboard.h"
#include "tools/scale-read/outlets/recordtexts.h"
#include "tools/scale-read/records/recordformat.h"

class QTcpSocket;
class QWebSocketServer;

namespace scaleread {

class HttpListener;

// The stations served over HTTP and WebSocket in the reader's own event loop: their state as
// JSON, the next settled weight, every record as it is read, commands, and the live board's
// built-in files. Nothing here blocks; a client that cannot keep up is dropped. Every request
// and every upgrade passes one gate (host, origin, token) whatever its path, and only sockets that
// passed it become WebSocket clients.
class HttpService : public QObject {
public:
    using Note = std::function<void(const QString&)>;
    // The result ("done", "refused", "overload", "underload", "no-answer", "unsupported",
    // "busy" or "expired") and the indicator's answer or the deciding frame's text, empty where
    // none.
    using CommandDone = std::function<void(const QString& result, const QString& text)>;
    // Drops a command that has not gone out yet, `done` then never called: for a client that
    // has gone. Does nothing once the command is out or over.
    using CommandCancel = std::function<void()>;
    // Sends "zero", "tare" or "clear-tare" to a station and calls `done` once.
    using CommandRunner = std::function<CommandCancel(std::size_t station, const QString& command,
                                                      CommandDone done)>;

    static constexpr qsizetype kBodyLimit = HttpConnection::kBodyLimit;
    static constexpr int kDefaultWaitMillis = 10'000;
    static constexpr int kLongestWaitMillis = 60'000;
    // Stable waits at once, in total and from one client address (503 beyond).
    static constexpr std::size_t kMaxWaits = 1024;
    static constexpr std::size_t kMaxPeerWaits = 256;
    // Client connections at most, whatever the file limit allows.
    static constexpr int kMaxConnections = 1024;

    struct ServedStation {
        RecordSource source;  // its station key set
        QStringList commands;  // those its indicator takes, of "zero", "tare" and "clear-tare"
    };

    HttpService(HttpSettings settings, const std::vector<ServedStation>& stations, bool errorRecords,
                const Clock& clock, CommandRunner commands, Note note);
    ~HttpService() override;

    // Listens; false with `error` set when the address cannot be had.
    bool start(QString& error);
    quint16 port() const { return m_port; }

    // Everything a station reads, before any choice of which records are written; `texts` is
    // the frame's record, of which the service takes the JSON object and the WebSocket message.
    void frame(std::size_t station, const scale::StreamFrame& frame, bool stable,
               bool becameStable, RecordTexts& texts);
    // `reason`: why the port is not open or was lost.
    void setPort(std::size_t station, StationBoard::Port port, const QString& reason = {});

private:
    using Status = HttpStatus;
    using Headers = HttpHeaders;

    // Whom a request's answer goes to.
    struct Asker {
        QPointer<HttpConnection> connection;
        std::uint64_t slot = 0;
    };
    // A command sent for a request, until its result comes.
    struct PendingCommand {
        std::uint64_t connection = 0;
        std::uint64_t slot = 0;
        std::size_t station = 0;
        CommandCancel cancel;  // withdraws it while it waits in the station's queue
    };

    void connectionOpened(QTcpSocket* socket);
    void connectionClosed(std::uint64_t connection, const std::vector<std::uint64_t>& unanswered);
    void handle(HttpConnection& connection, std::uint64_t slot, const HttpRequest& request);
    void upgrade(const Asker& asker, const HttpRequest& request, const Headers& cors);
    void route(const Asker& asker, const HttpRequest& request, const Headers& cors);
    void getStable(std::size_t station, const Asker& asker, const HttpRequest& request,
                   const Headers& cors);
    // `typeWeight`: POST .../type, for the keyboard, with no body to read.
    void postCommand(std::size_t station, const Asker& asker, const HttpRequest& request,
                     const Headers& cors, bool typeWeight = false);
    void cancelCommand(std::uint64_t ticket);
    void serveFile(const QString& name, const Asker& asker);
    void expireWaits();
    void armWaitTimer();

    // The stations ?station=A,B names (all without one); `unknown` set to a name that is none.
    std::vector<bool> wantedStations(const QUrlQuery& query, QString& unknown) const;
    void acceptClients();
    void acceptClient(std::unique_ptr<QWebSocket> socket);
    void announceChanges();
    void answerWaits(std::size_t station, Status status, const QByteArray& json);
    // The 503 body of a station that is not reading: {"error":...,"state":...,"station":...}.
    QByteArray unavailableJson(std::size_t station) const;

    void respond(const Asker& asker, Status status, const QByteArray& body, const QByteArray& type,
                 const Headers& headers);
    void respondJson(const Asker& asker, Status status, const QByteArray& json,
                     const Headers& headers);
    void respondError(const Asker& asker, Status status, const QString& error,
                      const Headers& headers);
    HttpConnection* connectionOf(std::uint64_t id) const;

    QString stateMessage(std::size_t station) const;
    std::int64_t nowMillis() const { return m_clock.steadyMicros() / 1000; }

    HttpSettings m_settings;
    std::vector<RecordSource> m_sources;
    bool m_errorRecords;
    const Clock& m_clock;
    CommandRunner m_commands;
    Note m_note;
    StationBoard m_board;
    HttpListener* m_listener = nullptr;
    QWebSocketServer* m_upgrades = nullptr;
    std::map<std::uint64_t, QPointer<HttpConnection>> m_connections;  // by id
    std::uint64_t m_nextConnection = 0;
    // Sockets whose upgrade passed the gate, by peer (address:port), with their frame watch.
    QHash<QString, QPointer<QObject>> m_admitted;
    StableWaits m_waits{kMaxWaits, kMaxPeerWaits};
    QTimer m_waitTimer;  // one for all stable waits: the earliest deadline
    std::map<std::uint64_t, PendingCommand> m_pendingCommands;  // by ticket
    std::uint64_t m_nextTicket = 0;
    EventClients m_clients;
    QTimer m_watch;
    quint16 m_port = 0;
};

}  // namespace scaleread
