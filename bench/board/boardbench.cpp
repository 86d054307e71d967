// Many stations into one reader and many browsers: N pseudo-terminals, each sent a continuous
// frame ten times a second (spread evenly over the 100 ms), read by one scale-read serving
// --http, and C WebSocket clients in this process taking every record. Reports the reader's CPU
// and the time from each frame's write to its record's arrival at a client, on one steady clock.
// Usage: board-bench SCALE_READ [STATIONS [CLIENTS [SECONDS]]]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <QWebSocket>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/processfigures.h"
#include "bench/common/stationlines.h"

namespace {

using bench::Clock;

constexpr int kWarmUpSeconds = 3;

std::int64_t micros(Clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
}

// "station":"s12" ... "weight":345 from a record message.
bool parseRecord(const QString& text, int& station, long& number) {
    const qsizetype s = text.indexOf(QLatin1String("\"station\":\"s"));
    const qsizetype w = text.indexOf(QLatin1String("\"weight\":"));
    if (!text.startsWith(QLatin1String("{\"type\":\"record\"")) || s < 0 || w < 0) {
        return false;
    }
    station = QStringView(text).mid(s + 12, 4).toString().section('"', 0, 0).toInt();
    number = QStringView(text).mid(w + 9, 12).toString().section(',', 0, 0).toLong();
    return true;
}

struct Run {
    int stations = 50;
    int clients = 100;
    int seconds = 30;
    int frames = 0;  // slots per station: the run, the warm-up and two seconds to spare
};

// The reader serving --http on a free port, started on `lines`: its pid and port, or pid 0.
struct Served {
    pid_t pid = 0;
    int port = 0;
};

Served serve(const std::string& reader, const bench::StationLines& lines) {
    std::vector<std::string> arguments = {reader};
    arguments.insert(arguments.end(), lines.arguments().begin(), lines.arguments().end());
    for (const char* more : {"--http", "127.0.0.1:0", "--http-max-clients", "1000"}) {
        arguments.emplace_back(more);
    }
    // The reader's standard error, for the port it serves on.
    int errors[2];
    if (::pipe(errors) != 0) {
        std::perror("pipe");
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, errors[0]);
    const pid_t pid = bench::spawn(reader, std::move(arguments), &actions);
    ::close(errors[1]);
    if (pid == 0) {
        return {};
    }
    std::string first;
    char c = 0;
    while (::read(errors[0], &c, 1) == 1 && c != '\n') {
        first.push_back(c);
    }
    const auto colon = first.rfind(':');
    const int port = colon == std::string::npos ? 0 : std::atoi(first.c_str() + colon + 1);
    if (port == 0) {
        std::fprintf(stderr, "board-bench: the reader did not serve: %s\n", first.c_str());
        ::kill(pid, SIGTERM);
        return {};
    }
    return {pid, port};
}

// The clients' side: when each frame was written, and the latency of each record after the
// warm-up that a client took.
struct Board {
    explicit Board(const Run& settings)
        : run(settings), sent(static_cast<std::size_t>(settings.stations * settings.frames)) {
        latencies.reserve(static_cast<std::size_t>(settings.stations) *
                          static_cast<std::size_t>(settings.clients) *
                          static_cast<std::size_t>(settings.seconds) * 10);
    }

    void take(const QString& text) {
        const std::int64_t now = micros(Clock::now());
        int station = 0;
        long number = 0;
        if (!parseRecord(text, station, number) || station < 0 || station >= run.stations ||
            number < 0 || number >= run.frames) {
            return;
        }
        const std::int64_t written =
            sent[static_cast<std::size_t>(station * run.frames + number)].load();
        if (written > 0 && number >= kWarmUpSeconds * 10) {
            latencies.push_back(static_cast<double>(now - written) / 1000.0);
        }
    }

    const Run run;
    std::vector<std::atomic<std::int64_t>> sent;
    std::vector<double> latencies;
    int connected = 0;
};

// The run's clients on the reader's event stream, connected within ten seconds if at all.
std::vector<std::unique_ptr<QWebSocket>> connectClients(Board& board, int port) {
    std::vector<std::unique_ptr<QWebSocket>> sockets;
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/api/v1/events").arg(port));
    for (int i = 0; i < board.run.clients; ++i) {
        auto socket = std::make_unique<QWebSocket>();
        QObject::connect(socket.get(), &QWebSocket::connected, [&board] { ++board.connected; });
        QObject::connect(socket.get(), &QWebSocket::textMessageReceived,
                         [&board](const QString& text) { board.take(text); });
        socket->open(url);
        sockets.push_back(std::move(socket));
    }
    const auto connectedBy = Clock::now() + std::chrono::seconds(10);
    while (board.connected < board.run.clients && Clock::now() < connectedBy) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (board.connected < board.run.clients) {
        std::fprintf(stderr, "board-bench: %d of %d clients connected\n", board.connected,
                     board.run.clients);
    }
    return sockets;
}

void printFigures(const Board& board, double cpu, long measuredSent) {
    const Run& run = board.run;
    std::printf("%-9s %-8s %-9s %-8s %-17s %-8s %-8s %-8s\n", "stations", "clients", "frames/s",
                "CPU %", "messages", "p50 ms", "p99 ms", "max ms");
    std::printf("%-9d %-8d %-9d %-8.2f %-17s %-8.2f %-8.2f %-8.2f\n", run.stations, run.clients,
                run.stations * 10, cpu,
                (std::to_string(board.latencies.size()) + "/" +
                 std::to_string(measuredSent * run.clients))
                    .c_str(),
                bench::percentile(board.latencies, 0.5), bench::percentile(board.latencies, 0.99),
                bench::percentile(board.latencies, 1.0));
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: board-bench SCALE_READ [STATIONS [CLIENTS [SECONDS]]]\n");
        return 2;
    }
    Run run;
    run.stations = argc > 2 ? std::atoi(argv[2]) : run.stations;
    run.clients = argc > 3 ? std::atoi(argv[3]) : run.clients;
    run.seconds = argc > 4 ? std::atoi(argv[4]) : run.seconds;
    run.frames = (run.seconds + kWarmUpSeconds + 2) * 10;
    std::signal(SIGPIPE, SIG_IGN);

    const auto lines = bench::StationLines::open("board-bench", run.stations);
    if (!lines) {
        return 1;
    }
    const Served served = serve(argv[1], *lines);
    if (served.pid == 0) {
        return 1;
    }
    Board board(run);
    auto sockets = connectClients(board, served.port);

    // The frames go out from a thread of their own, on time whatever the clients cost here.
    const auto start = Clock::now() + std::chrono::milliseconds(200);
    long ticksBefore = -1;
    long ticksAfter = -1;
    long measuredSent = 0;
    std::thread writer([&] {
        measuredSent = lines->send(start, (run.seconds + kWarmUpSeconds) * 10,
                                   kWarmUpSeconds * 10, served.pid, ticksBefore,
                                   [&](int station, int frame, Clock::time_point at) {
                                       board.sent[static_cast<std::size_t>(
                                           station * run.frames + frame)] = micros(at);
                                   });
        ticksAfter = bench::cpuTicks(served.pid);
        QMetaObject::invokeMethod(
            &application,
            [] { QTimer::singleShot(500, [] { QCoreApplication::quit(); }); },
            Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    writer.join();

    ::kill(served.pid, SIGTERM);
    ::waitpid(served.pid, nullptr, 0);
    sockets.clear();
    printFigures(board, bench::cpuPercent(ticksAfter - ticksBefore, run.seconds), measuredSent);
    return 0;
}
