#pragma once

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocols/framestream.h"
#include "tools/scale-read/clock.h"
#include "tools/scale-read/httpaccess.h"
#include "tools/scale-read/httpoptions.h"
#include "tools/scale-read/recordformat.h"
#include "tools/scale-read/stationboard.h"

class QTcpSocket;

namespace scaleread {

// The stations served over HTTP and WebSocket in the reader's own event loop: their state as
// JSON, the next settled weight, every record as it is read, commands, and the live board's
// built-in files. Nothing here blocks; a client that cannot keep up is dropped.
class HttpService : public QAbstractHttpServer {
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

    static constexpr qsizetype kBodyLimit = 4096;
    static constexpr qint64 kClientBacklog = 1024 * 1024;
    static constexpr int kDefaultWaitMillis = 10'000;
    static constexpr int kLongestWaitMillis = 60'000;

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

    // Everything a station reads, before any choice of which records are written.
    void frame(std::size_t station, std::int64_t utcMillis, const scale::StreamFrame& frame,
               bool stable, bool becameStable);
    // `reason`: why the port is not open or was lost.
    void setPort(std::size_t station, StationBoard::Port port, const QString& reason = {});

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    using Status = QHttpServerResponder::StatusCode;
    using Headers = std::vector<std::pair<QByteArray, QByteArray>>;

    // A request answered later: the settled weight it waits for, or a command's result.
    struct Reply {
        QPointer<QTcpSocket> socket;
        const QHttpServerRequest* request = nullptr;  // lives as long as its socket
        Headers headers;
    };
    struct Wait {
        std::shared_ptr<Reply> reply;
        std::size_t station = 0;
        std::unique_ptr<QTimer> deadline;
    };
    struct Refusal {
        Status status;
        QString error;
        Headers headers;
    };
    struct Client {
        std::unique_ptr<QWebSocket> socket;
        std::vector<bool> wanted;  // by station
        QString peer;
    };

    void route(const QHttpServerRequest& request, QTcpSocket* socket, const Headers& cors);
    void getStable(std::size_t station, const QHttpServerRequest& request, QTcpSocket* socket,
                   const Headers& cors);
    void postCommand(std::size_t station, const QHttpServerRequest& request, QTcpSocket* socket,
                     const Headers& cors);
    void serveFile(const QString& name, const QHttpServerRequest& request, QTcpSocket* socket);

    // The stations ?station=A,B names (all without one); `unknown` set to a name that is none.
    std::vector<bool> wantedStations(const QUrlQuery& query, QString& unknown) const;
    void acceptClients();
    void acceptClient(std::unique_ptr<QWebSocket> socket);
    void dropClient(QWebSocket* socket, const QString& why);
    void send(Client& client, const QString& message);
    void broadcast(std::size_t station, const QString& message);
    void flushOutbox();
    void announceChanges();
    void answerWaits(std::size_t station, Status status, const QByteArray& json);
    // The 503 body of a station that is not reading: {"error":...,"state":...,"station":...}.
    QByteArray unavailableJson(std::size_t station) const;
    void overflowed(QTcpSocket* socket);

    void respond(QTcpSocket* socket, const QHttpServerRequest& request, Status status,
                 const QByteArray& body, const QByteArray& type, const Headers& headers);
    void respondJson(QTcpSocket* socket, const QHttpServerRequest& request, Status status,
                     const QByteArray& json, const Headers& headers);
    void respondError(QTcpSocket* socket, const QHttpServerRequest& request, Status status,
                      const QString& error, const Headers& headers);
    void respondLater(const std::shared_ptr<Reply>& reply, Status status, const QByteArray& json);

    QString stateMessage(std::size_t station) const;
    std::int64_t nowMillis() const { return m_clock.steadyMicros() / 1000; }

    HttpSettings m_settings;
    std::vector<RecordSource> m_sources;
    bool m_errorRecords;
    const Clock& m_clock;
    CommandRunner m_commands;
    Note m_note;
    StationBoard m_board;
    RecordFormatter m_formatter{OutputFormat::Jsonl, true};
    std::string m_record;
    std::optional<Refusal> m_refusal;  // a WebSocket request's, for missingHandler()
    std::vector<Wait> m_waits;
    std::vector<Client> m_clients;
    std::vector<std::pair<std::size_t, QString>> m_outbox;  // by station, for all clients
    QTimer m_flush;
    QTimer m_watch;
    quint16 m_port = 0;
};

}  // namespace scaleread
