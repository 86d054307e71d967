#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QTcpSocket;

namespace scaleread {

enum class HttpStatus : int {
    Ok = 200,
    NoContent = 204,
    BadRequest = 400,
    Unauthorized = 401,
    Forbidden = 403,
    NotFound = 404,
    MethodNotAllowed = 405,
    Conflict = 409,
    PayloadTooLarge = 413,
    UnsupportedMediaType = 415,
    UpgradeRequired = 426,
    HeadersTooLarge = 431,
    InternalServerError = 500,
    NotImplemented = 501,
    ServiceUnavailable = 503,
    GatewayTimeout = 504,
};

using HttpHeaders = std::vector<std::pair<QByteArray, QByteArray>>;

// One request, whole.
struct HttpRequest {
    QByteArray method;
    QUrl url;  // its path and query
    HttpHeaders fields;
    QByteArray body;
    bool upgrade = false;  // it asks for another protocol on this connection

    // The first field of that name (any case), empty when there is none.
    QByteArray value(const char* name) const;
};

// One client's HTTP/1.1 connection: reads its requests one by one with Boost.Beast's parser and
// writes the answers in the order the requests came, however late each is made. Every resource
// the client can make it spend has a limit: the time to send a request and to come back for the
// next, the size of a request, the requests waiting for answers, and the answers waiting to be
// read; past one the connection is answered where HTTP has an answer, and closed.
class HttpConnection : public QObject {
public:
    // Each request, by its slot among this connection's answers.
    using RequestHandler =
        std::function<void(HttpConnection& connection, std::uint64_t slot, const HttpRequest& request)>;
    using Note = std::function<void(const QString&)>;

    static constexpr qint64 kHeaderLimit = 16 * 1024;
    static constexpr qint64 kBodyLimit = 4096;
    static constexpr int kReceiveMillis = 10'000;
    static constexpr int kIdleMillis = 60'000;

    // Takes `socket`'s reading; deleted with it.
    HttpConnection(QTcpSocket* socket, std::uint64_t id, RequestHandler handler, Note note);

    std::uint64_t id() const { return m_id; }
    QTcpSocket* socket() const { return m_socket; }
    // The client's address and port, as notes name it.
    QString peer() const;

    // The answer to the request in `slot`, written once those before it are.
    void answer(std::uint64_t slot, HttpStatus status, const QByteArray& body,
                const QByteArray& type, const HttpHeaders& headers);
    // The connection ends once the answer in `slot` is written; no request after it is read.
    void closeAfter(std::uint64_t slot);
    // Gives the socket, with the upgrade request still unread in it, to whoever speaks the other
    // protocol; this connection is done. Only for the last request when all before it are
    // answered and written.
    QTcpSocket* handOver(std::uint64_t slot);
    // Called with the slots still unanswered once the client is gone.
    void onClosed(std::function<void(const std::vector<std::uint64_t>&)> closed) {
        m_closed = std::move(closed);
    }

    // The errors in reading a request as this service answers them.
    static QByteArray errorJson(const QString& error);

private:
    struct Slot {
        std::uint64_t id = 0;
        QByteArray bytes;
        bool ready = false;
        bool close = false;
    };
    struct Parser;

    void pump();
    void queuePump();
    bool parseOne();  // false when it cannot go on now
    bool acceptHeader();
    bool handOver();
    void refuse(HttpStatus status, const QString& error);
    void refuseOversized();
    void flush();
    void rearm();
    void expired();
    void finished();

    QTcpSocket* m_socket;
    std::uint64_t m_id;
    RequestHandler m_handler;
    Note m_note;
    std::function<void(const std::vector<std::uint64_t>&)> m_closed;
    std::unique_ptr<Parser> m_parser;  // the request being read, if any
    QByteArray m_in;                   // read from the socket, not yet taken by the parser
    qsizetype m_taken = 0;             // of m_in, what the parser took of this request
    std::deque<Slot> m_slots;
    std::uint64_t m_nextSlot = 0;
    bool m_reading = true;  // false once a request ended the connection's requests
    bool m_receiving = false;  // a request began and is not whole yet
    bool m_upgrading = false;  // the request being read asks for another protocol
    bool m_lingering = false;  // refused mid-upload: reading on for a moment before closing
    bool m_done = false;
    bool m_pumpQueued = false;
    QTimer m_deadline;
};

}  // namespace scaleread
