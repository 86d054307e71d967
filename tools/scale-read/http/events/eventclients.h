#pragma once

#include <QObject>
#include <QStringList>
#include <QTcpSocket>
#include <QThread>
#include <QWebSocket>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace scaleread {

class FrameWatch;
class EventHall;

// The WebSocket clients of the events path, served from a thread of their own. The reading's
// event loop then neither looks at their sockets each time the line wakes it nor frames a
// message once per client: it posts each message once, and the clients' thread frames it once
// and sends what came in the last few milliseconds to each client in one write. Made, used and
// ended in one thread (the reader's); notes are given in that thread too.
class EventClients : public QObject {
public:
    using Note = std::function<void(const QString&)>;
    // A client with more than this waiting to be read is let go.
    static constexpr qint64 kClientBacklog = 1024 * 1024;

    explicit EventClients(Note note);
    ~EventClients() override;  // every client cut off, the thread ended

    // Clients let in and not gone yet.
    std::size_t count() const { return m_count.load(std::memory_order_relaxed); }
    // A client that passed the gate; `socket` has no parent. It gets `greeting` first, then
    // every message posted after this call for the stations it wants (by station). `watch`, a
    // child of its TCP socket, looks at what it sends. Nothing outside the client may still be
    // connected to that socket: it is deleted in the clients' thread.
    void join(std::unique_ptr<QWebSocket> socket, FrameWatch* watch, std::vector<bool> wanted,
              const QString& peer, const QStringList& greeting);
    // A message for the clients that want `station`: text, sent as UTF-8.
    void post(std::size_t station, QByteArray message);

private:
    friend class EventHall;

    // What waits for the clients' thread, in the order it came: messages and joining clients.
    struct Joining {
        std::unique_ptr<QWebSocket> socket;
        QTcpSocket* line;  // the socket's connection, written to directly
        std::vector<bool> wanted;
        QString peer;
        QStringList greeting;
    };
    struct Item {
        std::size_t station = 0;
        QByteArray message;
        std::unique_ptr<Joining> joining;  // set for a client joining, `message` then unused
    };
    std::vector<Item> take();
    void gone() { m_count.fetch_sub(1, std::memory_order_relaxed); }
    void push(Item item);

    QThread m_thread;
    EventHall* m_hall;  // lives in m_thread
    std::mutex m_mutex;
    std::vector<Item> m_inbox;  // under m_mutex
    std::atomic<std::size_t> m_count{0};
};

}  // namespace scaleread
