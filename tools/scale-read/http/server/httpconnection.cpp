#include "tools/scale-read/http/server/httpconnection.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <algorithm>
#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <sstream>
#include <string>

namespace scaleread {
namespace {

namespace http = boost::beast::http;

// Read from the socket ahead of the parser: a whole header fits, so the parser can always decide.
constexpr qint64 kReadAhead = HttpConnection::kHeaderLimit + 1024;
// What Qt takes from the kernel for this connection before the client's sending is held back.
constexpr qint64 kReadBuffer = 64 * 1024;
// Past this much unread output no further request is read; past kOutputLimit the client is let go.
constexpr qint64 kOutputPause = 64 * 1024;
constexpr qint64 kOutputLimit = 1024 * 1024;
// Requests read ahead of their answers (pipelining).
constexpr std::size_t kMaxWaiting = 32;
constexpr std::size_t kMaxFields = 100;
// Requests read in one turn of the event loop, so that many busy clients take turns with the
// stations instead of holding the loop between them.
constexpr int kRequestsPerTurn = 4;
// The kernel's share of a client's unread answers, on top of ours.
constexpr int kSendBuffer = 64 * 1024;
constexpr int kLingerMillis = 1000;

boost::beast::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QByteArray serialized(HttpStatus status, const QByteArray& body, const QByteArray& type,
                      const HttpHeaders& headers, bool close) {
    http::response<http::string_body> response{static_cast<http::status>(status), 11};
    response.insert("Content-Type", view(type));
    response.insert("Content-Length", std::to_string(body.size()));
    response.insert("Cache-Control", "no-store");
    response.insert("X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : headers) {
        response.insert(view(name), view(value));
    }
    if (close) {
        response.insert("Connection", "close");
    }
    response.body().assign(body.constData(), static_cast<std::size_t>(body.size()));
    std::ostringstream out;
    out << response;
    return QByteArray::fromStdString(out.str());
}

// What a request the parser rejects is answered (a body over the limit is handled apart).
struct Refusal {
    HttpStatus status;
    QString error;
};
Refusal refusalOf(const boost::beast::error_code& error) {
    if (error == http::error::header_limit) {
        return {HttpStatus::HeadersTooLarge,
                QStringLiteral("request headers go up to %1 bytes").arg(HttpConnection::kHeaderLimit)};
    }
    if (error == http::error::bad_method || error == http::error::bad_target ||
        error == http::error::bad_version) {
        return {HttpStatus::BadRequest, QStringLiteral("bad request line")};
    }
    if (error == http::error::bad_content_length) {
        return {HttpStatus::BadRequest, QStringLiteral("bad Content-Length")};
    }
    if (error == http::error::bad_transfer_encoding) {
        return {HttpStatus::BadRequest, QStringLiteral("bad Transfer-Encoding")};
    }
    return {HttpStatus::BadRequest, QStringLiteral("malformed request")};
}

}  // namespace

struct HttpConnection::Parser {
    http::request_parser<http::string_body> parser;
    bool headerChecked = false;
};

QByteArray HttpRequest::value(const char* name) const {
    for (const auto& [field, content] : fields) {
        if (field.compare(name, Qt::CaseInsensitive) == 0) {
            return content;
        }
    }
    return {};
}

QByteArray HttpConnection::errorJson(const QString& error) {
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), error}})
        .toJson(QJsonDocument::Compact);
}

HttpConnection::HttpConnection(QTcpSocket* socket, std::uint64_t id, RequestHandler handler,
                               Note note)
    : QObject(socket),
      m_socket(socket),
      m_id(id),
      m_handler(std::move(handler)),
      m_note(std::move(note)) {
    // Qt stops taking bytes from the kernel once this much waits, which holds a fast sender back.
    m_socket->setReadBufferSize(kReadBuffer);
    m_socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSendBuffer);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { expired(); });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { pump(); });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_socket->bytesToWrite() > 0) {
            m_deadline.start(kIdleMillis);  // a client that reads slowly still reads
        }
        pump();
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { finished(); });
    m_deadline.start(kReceiveMillis);
    pump();
}

QString HttpConnection::peer() const {
    const QHostAddress address = m_socket->peerAddress();
    return address.protocol() == QAbstractSocket::IPv6Protocol
               ? QStringLiteral("[%1]:%2").arg(address.toString()).arg(m_socket->peerPort())
               : QStringLiteral("%1:%2").arg(address.toString()).arg(m_socket->peerPort());
}

void HttpConnection::pump() {
    if (m_done) {
        return;
    }
    if (!m_reading) {
        if (!m_upgrading) {
            // Whatever follows the last request is dropped, so that closing does not reset the
            // connection before the client read its answer.
            m_socket->skip(m_socket->bytesAvailable());
        }
        rearm();
        return;
    }
    int requests = 0;
    while (m_reading && !m_done && m_socket->bytesToWrite() <= kOutputPause &&
           m_slots.size() < kMaxWaiting) {
        if (requests == kRequestsPerTurn) {
            queuePump();
            break;
        }
        if (m_in.size() - m_taken < kReadAhead) {
            m_in.append(m_socket->read(kReadAhead - (m_in.size() - m_taken)));
        }
        if (m_in.size() == m_taken) {
            break;
        }
        const qsizetype pending = m_in.size() - m_taken;
        const std::uint64_t before = m_nextSlot;
        if (!parseOne() && (m_socket->bytesAvailable() == 0 || pending >= kReadAhead)) {
            break;
        }
        requests += m_nextSlot != before ? 1 : 0;
    }
    rearm();
}

bool HttpConnection::parseOne() {
    if (!m_parser) {
        m_parser = std::make_unique<Parser>();
        m_parser->parser.header_limit(static_cast<std::uint32_t>(kHeaderLimit));
        // A body over the limit is refused by the service; one far over it is not even read.
        m_parser->parser.body_limit(kHeaderLimit + kBodyLimit);
        m_parser->parser.eager(false);
        m_receiving = true;
        m_deadline.start(kReceiveMillis);
    }
    auto& parser = m_parser->parser;
    boost::beast::error_code error;
    const std::size_t used = parser.put(
        boost::asio::buffer(m_in.constData() + m_taken, static_cast<std::size_t>(m_in.size() - m_taken)),
        error);
    m_taken += static_cast<qsizetype>(used);
    if (error == http::error::need_more) {
        return false;
    }
    if (error == http::error::body_limit) {
        refuseOversized();
        return false;
    }
    if (error) {
        const Refusal refusal = refusalOf(error);
        refuse(refusal.status, refusal.error);
        return false;
    }
    if (parser.is_header_done() && !m_parser->headerChecked && !acceptHeader()) {
        return false;
    }
    if (!parser.is_done()) {
        if (!m_upgrading) {
            m_in.remove(0, m_taken);
            m_taken = 0;
        }
        return parser.is_header_done() || used > 0;
    }
    return handOver();
}

// The header's checks beyond the parser's, once it is whole; false when the request was refused.
bool HttpConnection::acceptHeader() {
    auto& parser = m_parser->parser;
    const auto& message = parser.get();
    m_parser->headerChecked = true;
    std::size_t fields = 0;
    int encodings = 0;
    for (const auto& field : message) {
        ++fields;
        encodings += field.name() == http::field::transfer_encoding ? 1 : 0;
    }
    if (fields > kMaxFields) {
        refuse(HttpStatus::HeadersTooLarge,
               QStringLiteral("requests have at most %1 header fields").arg(kMaxFields));
        return false;
    }
    // Behind a proxy that reads the body's length differently, anything looser lets one
    // request be smuggled inside another.
    const auto encoding = message.find(http::field::transfer_encoding);
    if (encodings > 1 ||
        (encoding != message.end() && !boost::beast::iequals(encoding->value(), "chunked"))) {
        refuse(HttpStatus::BadRequest, QStringLiteral("bad Transfer-Encoding"));
        return false;
    }
    if (encoding != message.end() && message.find(http::field::content_length) != message.end()) {
        refuse(HttpStatus::BadRequest,
               QStringLiteral("a request has Content-Length or Transfer-Encoding, not both"));
        return false;
    }
    if (message.version() != 10 && message.version() != 11) {
        refuse(HttpStatus::BadRequest, QStringLiteral("bad request line"));
        return false;
    }
    if (const auto expect = message.find(http::field::expect);
        expect != message.end() && boost::beast::iequals(expect->value(), "100-continue") &&
        m_slots.empty() && !parser.is_done()) {
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    }
    m_upgrading = parser.upgrade();
    // The body, if any, in one go from now on; an upgrade's request stays in the buffer.
    parser.eager(!m_upgrading);
    return true;
}

// The whole request, handed to the service; false when it was refused.
bool HttpConnection::handOver() {
    auto& parser = m_parser->parser;
    const auto& message = parser.get();
    HttpRequest request;
    request.method = QByteArray(message.method_string().data(),
                                static_cast<qsizetype>(message.method_string().size()));
    const QByteArray target(message.target().data(), static_cast<qsizetype>(message.target().size()));
    request.url = QUrl::fromEncoded(target, QUrl::StrictMode);
    if (!target.startsWith('/') || !request.url.isValid()) {
        refuse(HttpStatus::BadRequest, QStringLiteral("bad request line"));
        return false;
    }
    for (const auto& field : message) {
        request.fields.emplace_back(
            QByteArray(field.name_string().data(), static_cast<qsizetype>(field.name_string().size())),
            QByteArray(field.value().data(), static_cast<qsizetype>(field.value().size())));
    }
    request.body = QByteArray::fromStdString(message.body());
    request.upgrade = m_upgrading;
    const bool keepAlive = message.version() == 11 && parser.keep_alive() && !m_upgrading;
    if (!m_upgrading) {
        m_in.remove(0, m_taken);
        m_taken = 0;
    }
    m_parser.reset();
    m_receiving = false;
    const std::uint64_t slot = m_nextSlot++;
    m_slots.push_back({slot, {}, false, !keepAlive});
    if (!keepAlive) {
        m_reading = false;  // HTTP/1.0, "Connection: close" or an upgrade: the last request
    }
    m_handler(*this, slot, request);
    return true;
}

void HttpConnection::refuse(HttpStatus status, const QString& error) {
    m_parser.reset();
    m_receiving = false;
    m_reading = false;
    m_upgrading = false;
    const std::uint64_t slot = m_nextSlot++;
    m_slots.push_back({slot, {}, false, true});
    answer(slot, status, errorJson(error) + '\n', "application/json", {});
}

void HttpConnection::refuseOversized() {
    m_note(QStringLiteral("http: %1 sent a request over %2 bytes; connection closed")
               .arg(peer())
               .arg(kHeaderLimit + kBodyLimit));
    m_parser.reset();
    m_receiving = false;
    m_reading = false;
    m_upgrading = false;
    // Closed at once with the rest of the upload unread, the connection would be reset and the
    // client might never see the answer: what it still sends is read and dropped for a moment.
    m_lingering = true;
    const std::uint64_t slot = m_nextSlot++;
    m_slots.push_back({slot, {}, false, true});
    answer(slot, HttpStatus::PayloadTooLarge,
           errorJson(QStringLiteral("request bodies go up to %1 bytes").arg(kBodyLimit)),
           "application/json", {});
}

void HttpConnection::answer(std::uint64_t slot, HttpStatus status, const QByteArray& body,
                            const QByteArray& type, const HttpHeaders& headers) {
    if (m_done) {
        return;
    }
    const auto it = std::find_if(m_slots.begin(), m_slots.end(),
                                 [&](const Slot& s) { return s.id == slot; });
    if (it == m_slots.end() || it->ready) {
        return;
    }
    it->bytes = serialized(status, body, type, headers, it->close);
    it->ready = true;
    flush();
    // The next requests are read on the next turn of the loop, not from inside whatever made
    // this answer: a thousand waits expiring together must not read a thousand connections'
    // requests before the stations' bytes are next looked at.
    queuePump();
}

void HttpConnection::queuePump() {
    if (!m_pumpQueued) {
        m_pumpQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_pumpQueued = false;
            pump();
        });
    }
}

void HttpConnection::closeAfter(std::uint64_t slot) {
    for (Slot& pending : m_slots) {
        if (pending.id == slot && !pending.ready) {
            pending.close = true;
            m_reading = false;
            m_upgrading = false;
        }
    }
}

void HttpConnection::flush() {
    while (!m_done && !m_slots.empty() && m_slots.front().ready) {
        const Slot slot = std::move(m_slots.front());
        m_slots.pop_front();
        m_socket->write(slot.bytes);
        if (slot.close) {
            m_slots.clear();
            if (m_lingering) {
                m_socket->flush();
                QTimer::singleShot(kLingerMillis, m_socket, [socket = m_socket] {
                    socket->disconnectFromHost();
                });
            } else {
                m_socket->disconnectFromHost();
            }
            return;
        }
    }
    if (!m_done && m_socket->bytesToWrite() > kOutputLimit) {
        m_note(QStringLiteral("http: %1 dropped: more than 1 MB waiting to be read").arg(peer()));
        m_socket->abort();
    }
}

QTcpSocket* HttpConnection::handOver(std::uint64_t slot) {
    if (m_done || m_slots.size() != 1 || m_slots.front().id != slot || !m_upgrading) {
        return nullptr;
    }
    m_done = true;
    m_deadline.stop();
    disconnect(m_socket, nullptr, this, nullptr);
    // The request goes back into the socket's buffer, for the other protocol's own handshake.
    for (qsizetype i = m_in.size(); i > 0; --i) {
        m_socket->ungetChar(m_in.at(i - 1));
    }
    m_in.clear();
    QTcpSocket* socket = m_socket;
    setParent(nullptr);
    deleteLater();
    return socket;
}

void HttpConnection::rearm() {
    if (m_done || m_receiving) {
        return;  // a request's deadline runs from its first byte
    }
    if (m_socket->bytesToWrite() > 0) {
        if (!m_deadline.isActive()) {
            m_deadline.start(kIdleMillis);
        }
        return;
    }
    if (!m_slots.empty()) {
        m_deadline.stop();  // the answers being made have limits of their own
        return;
    }
    if (!m_deadline.isActive() || m_deadline.interval() != kIdleMillis || m_nextSlot == 0) {
        m_deadline.start(m_nextSlot == 0 ? kReceiveMillis : kIdleMillis);
    }
}

void HttpConnection::expired() {
    if (m_done) {
        return;
    }
    // A request not sent in time, or an answer not read in time: nothing more is owed.
    if (m_receiving || m_socket->bytesToWrite() > 0) {
        m_socket->abort();
    } else {
        m_socket->disconnectFromHost();
    }
}

void HttpConnection::finished() {
    if (m_done) {
        return;
    }
    m_done = true;
    m_deadline.stop();
    std::vector<std::uint64_t> unanswered;
    for (const Slot& slot : m_slots) {
        if (!slot.ready) {
            unanswered.push_back(slot.id);
        }
    }
    m_slots.clear();
    if (m_closed) {
        m_closed(unanswered);
    }
    m_socket->deleteLater();
}

}  // namespace scaleread
