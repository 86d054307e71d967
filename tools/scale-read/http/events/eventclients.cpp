#include "tools/scale-read/http/events/eventclients.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>

#include "tools/scale-read/http/events/framewatch.h"
#include "tools/scale-read/http/events/textframe.h"

namespace scaleread {
namespace {

// A message after a quiet spell goes out at once; on a busy line the messages of this time go
// out together, each client's in one write.
constexpr std::chrono::milliseconds kBatchTime(30);
constexpr int kCloseMillis = 1000;

}  // namespace

// The clients themselves, in the clients' thread: everything here runs there.
class EventHall : public QObject {
public:
    EventHall(EventClients& front, EventClients::Note note)
        : m_front(front), m_note(std::move(note)) {
        m_flush.setParent(this);  // so that it moves to the clients' thread with the hall
        m_flush.setSingleShot(true);
        m_flush.setTimerType(Qt::PreciseTimer);
        connect(&m_flush, &QTimer::timeout, this, [this] { flush(); });
    }

    // Something came in: sent at once after a quiet spell, else with the batch.
    void wake() {
        if (m_flush.isActive()) {
            return;
        }
        const auto since = std::chrono::steady_clock::now() - m_lastFlush;
        m_flush.start(since >= kBatchTime
                          ? std::chrono::milliseconds(0)
                          : std::chrono::ceil<std::chrono::milliseconds>(kBatchTime - since));
    }

    void shutdown() {
        m_flush.stop();
        for (Client& client : m_clients) {
            client.socket->abort();
        }
        m_clients.clear();
        // And those being closed, told why.
        for (QWebSocket* closing : findChildren<QWebSocket*>(Qt::FindDirectChildrenOnly)) {
            closing->abort();
            delete closing;
        }
        // Those that had not joined yet go too, in this thread.
        for (EventClients::Item& item : m_front.take()) {
            if (item.joining) {
                item.joining->socket->abort();
            }
        }
    }

    // Told by a client's frame watch.
    void unmasked(const QPointer<QWebSocket>& socket) {
        if (!socket) {
            return;
        }
        if (find(socket) == m_clients.end()) {
            m_unmasked.push_back(socket);  // not taken in yet: let go as soon as it is
            return;
        }
        drop(socket, QStringLiteral("sent an unmasked frame"),
             QWebSocketProtocol::CloseCodeProtocolError);
    }

private:
    struct Client {
        std::unique_ptr<QWebSocket> socket;
        QTcpSocket* line;  // the socket's own connection, a child of it
        std::vector<bool> wanted;  // by station
        QString peer;
        QByteArray batch;  // its frames of this batch
    };

    void flush() {
        m_lastFlush = std::chrono::steady_clock::now();
        try {
            dropSlowClients();
            for (EventClients::Item& item : m_front.take()) {
                if (item.joining) {
                    admit(std::move(*item.joining));
                    continue;
                }
                // Qt's sendTextMessage would convert and frame the message anew for every
                // client; the frame is the same for all of them.
                const QByteArray frame = textFrame(item.message);
                for (Client& client : m_clients) {
                    if (client.wanted[item.station]) {
                        client.batch.append(frame);
                    }
                }
            }
            // Written now rather than on each socket's write notice: one wake-up less per
            // client and batch. Past a close (ours or the client's) nothing more may follow.
            for (Client& client : m_clients) {
                if (!client.batch.isEmpty() &&
                    client.socket->state() == QAbstractSocket::ConnectedState) {
                    client.line->write(client.batch);
                    client.line->flush();
                }
                // Kept for the next batch: freed and taken again each time, the memory went
                // back to the system and came again, at a cost of its own.
                client.batch.resize(0);
            }
        } catch (const std::exception& failure) {
            note(QStringLiteral("http: %1").arg(QString::fromLocal8Bit(failure.what())));
        }
    }

    // A client that stopped reading would keep memory growing; it is let go instead.
    void dropSlowClients() {
        std::vector<QWebSocket*> slow;
        for (const Client& client : m_clients) {
            if (client.socket->bytesToWrite() > EventClients::kClientBacklog) {
                slow.push_back(client.socket.get());
            }
        }
        for (QWebSocket* socket : slow) {
            drop(socket, QStringLiteral("more than 1 MB waiting to be read"), std::nullopt);
        }
    }

    void admit(EventClients::Joining joining) {
        QWebSocket* raw = joining.socket.get();
        if (raw->state() != QAbstractSocket::ConnectedState) {
            m_front.gone();  // gone before it was served, its disconnection told to no one
            return;
        }
        connect(raw, &QWebSocket::disconnected, this, [this, raw] { remove(raw); },
                Qt::QueuedConnection);
        for (const QString& message : joining.greeting) {
            raw->sendTextMessage(message);
        }
        raw->flush();
        m_clients.push_back({std::move(joining.socket), joining.line, std::move(joining.wanted),
                             std::move(joining.peer), {}});
        std::erase_if(m_unmasked, [](const QPointer<QWebSocket>& socket) { return !socket; });
        if (const auto it = std::find(m_unmasked.begin(), m_unmasked.end(), raw);
            it != m_unmasked.end()) {
            m_unmasked.erase(it);
            unmasked(raw);
        }
    }

    std::vector<Client>::iterator find(const QWebSocket* socket) {
        return std::find_if(m_clients.begin(), m_clients.end(),
                            [&](const Client& c) { return c.socket.get() == socket; });
    }

    void remove(QWebSocket* socket) {
        const auto it = find(socket);
        if (it != m_clients.end()) {
            it->socket.release()->deleteLater();
            m_clients.erase(it);
            m_front.gone();
        }
    }

    // Closed with `code` and its reason, or cut off without one.
    void drop(QWebSocket* socket, const QString& why,
              std::optional<QWebSocketProtocol::CloseCode> code) {
        const auto it = find(socket);
        if (it == m_clients.end()) {
            return;
        }
        note(QStringLiteral("http: WebSocket client %1 dropped: %2").arg(it->peer, why));
        QWebSocket* owned = it->socket.release();
        m_clients.erase(it);
        m_front.gone();
        if (!code) {
            owned->abort();
            owned->deleteLater();
            return;
        }
        // Told why, then let go once it closed too, or after a moment; with this thread's end
        // at the latest.
        owned->setParent(this);
        owned->close(*code, why);
        connect(owned, &QWebSocket::disconnected, owned, &QObject::deleteLater);
        QTimer::singleShot(kCloseMillis, owned, [owned] {
            owned->abort();
            owned->deleteLater();
        });
    }

    // Notes are given in the front's thread.
    void note(const QString& text) {
        QMetaObject::invokeMethod(
            &m_front, [note = m_note, text] { note(text); }, Qt::QueuedConnection);
    }

    EventClients& m_front;
    EventClients::Note m_note;
    std::vector<Client> m_clients;
    std::vector<QPointer<QWebSocket>> m_unmasked;  // sent an unmasked frame before taken in
    QTimer m_flush;
    std::chrono::steady_clock::time_point m_lastFlush;
};

EventClients::EventClients(Note note) : m_hall(new EventHall(*this, std::move(note))) {
    m_thread.setObjectName(QStringLiteral("websockets"));
    m_hall->moveToThread(&m_thread);
    m_thread.start();
}

EventClients::~EventClients() {
    QMetaObject::invokeMethod(m_hall, [hall = m_hall] { hall->shutdown(); },
                              Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_hall;  // with its thread over, nothing of it runs any more
}

void EventClients::join(std::unique_ptr<QWebSocket> socket, FrameWatch* watch,
                        std::vector<bool> wanted, const QString& peer,
                        const QStringList& greeting) {
    // Watched from here on: Qt may read what follows the handshake before the clients' thread
    // takes the client in. Told in that thread, not from within the socket's signal, which Qt's
    // own reading still follows.
    const QPointer<QWebSocket> watched(socket.get());
    watch->start([hall = m_hall, watched] {
        QMetaObject::invokeMethod(
            hall, [hall, watched] { hall->unmasked(watched); }, Qt::QueuedConnection);
    });
    // Qt leaves the TCP socket with the listener that made it: it goes with its client, and the
    // watch on it too.
    watch->socket()->setParent(socket.get());
    socket->moveToThread(&m_thread);
    m_count.fetch_add(1, std::memory_order_relaxed);
    Item item;
    item.joining =
        std::make_unique<Joining>(Joining{std::move(socket), watch->socket(), std::move(wanted),
                                          peer, greeting});
    push(std::move(item));
}

void EventClients::post(std::size_t station, QByteArray message) {
    Item item;
    item.station = station;
    item.message = std::move(message);
    push(std::move(item));
}

void EventClients::push(Item item) {
    bool first = false;
    {
        const std::lock_guard lock(m_mutex);
        first = m_inbox.empty();
        m_inbox.push_back(std::move(item));
    }
    // One wake-up of the clients' thread per batch: later messages find the inbox in use.
    if (first) {
        QMetaObject::invokeMethod(m_hall, [hall = m_hall] { hall->wake(); },
                                  Qt::QueuedConnection);
    }
}

std::vector<EventClients::Item> EventClients::take() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_inbox, {});
}

}  // namespace scaleread
