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
#include <algorithm>
#include <atomic>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/processfigures.h"
#include "protocols/formats/continuous/continuousframe.h"
#include "tools/indicator-sim/line/ptyline.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

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

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: board-bench SCALE_READ [STATIONS [CLIENTS [SECONDS]]]\n");
        return 2;
    }
    const std::string reader = argv[1];
    const int stations = argc > 2 ? std::atoi(argv[2]) : 50;
    const int clients = argc > 3 ? std::atoi(argv[3]) : 100;
    const int seconds = argc > 4 ? std::atoi(argv[4]) : 30;
    const int frames = (seconds + kWarmUpSeconds + 2) * 10;
    std::signal(SIGPIPE, SIG_IGN);

    char folder[] = "/tmp/board-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::vector<std::unique_ptr<indicatorsim::PtyLine>> lines;
    std::vector<std::string> arguments = {reader};
    for (int i = 0; i < stations; ++i) {
        const std::string link = std::string(folder) + "/s" + std::to_string(i);
        lines.push_back(std::make_unique<indicatorsim::PtyLine>(link));
        arguments.push_back("--station");
        std::string station = "s";  // appended piece by piece: GCC 12 warns on a + chain
        station += std::to_string(i);
        station += '=';
        station += link;
        station += ",continuous";
        arguments.push_back(std::move(station));
    }
    for (const char* more : {"--http", "127.0.0.1:0", "--http-max-clients", "1000"}) {
        arguments.emplace_back(more);
    }

    // The reader's standard error, for the port it serves on.
    int errors[2];
    if (::pipe(errors) != 0) {
        std::perror("pipe");
        return 1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, errors[0]);
    std::vector<char*> argvReader;
    for (std::string& argument : arguments) {
        argvReader.push_back(argument.data());
    }
    argvReader.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, reader.c_str(), &actions, nullptr, argvReader.data(), environ) != 0) {
        std::perror("posix_spawn");
        return 1;
    }
    ::close(errors[1]);
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
        return 1;
    }

    std::vector<std::atomic<std::int64_t>> sent(static_cast<std::size_t>(stations * frames));
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(stations) * static_cast<std::size_t>(clients) *
                      static_cast<std::size_t>(seconds) * 10);
    std::vector<std::unique_ptr<QWebSocket>> sockets;
    int connected = 0;
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/api/v1/events").arg(port));
    for (int i = 0; i < clients; ++i) {
        auto socket = std::make_unique<QWebSocket>();
        QObject::connect(socket.get(), &QWebSocket::connected, [&] { ++connected; });
        QObject::connect(socket.get(), &QWebSocket::textMessageReceived, [&](const QString& text) {
            const std::int64_t now = micros(Clock::now());
            int station = 0;
            long number = 0;
            if (!parseRecord(text, station, number) || station < 0 || station >= stations ||
                number < 0 || number >= frames) {
                return;
            }
            const std::int64_t written =
                sent[static_cast<std::size_t>(station * frames + number)].load();
            if (written > 0 && number >= kWarmUpSeconds * 10) {
                latencies.push_back(static_cast<double>(now - written) / 1000.0);
            }
        });
        socket->open(url);
        sockets.push_back(std::move(socket));
    }
    const auto connectedBy = Clock::now() + std::chrono::seconds(10);
    while (connected < clients && Clock::now() < connectedBy) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (connected < clients) {
        std::fprintf(stderr, "board-bench: %d of %d clients connected\n", connected, clients);
    }

    // The frames go out from a thread of their own, on time whatever the clients cost here.
    const auto start = Clock::now() + std::chrono::milliseconds(200);
    std::atomic<long> ticksBefore{-1};
    std::atomic<long> ticksAfter{-1};
    long measuredSent = 0;
    std::thread writer([&] {
        for (int frame = 0; frame < (seconds + kWarmUpSeconds) * 10; ++frame) {
            if (frame == kWarmUpSeconds * 10) {
                ticksBefore = bench::cpuTicks(pid);
            }
            for (int i = 0; i < stations; ++i) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(
                                                          frame * 100'000 + i * 100'000 / stations));
                const auto bytes = scale::encodeContinuousFrame(
                    scale::IndicatorReading{false, static_cast<std::uint32_t>(frame), 0});
                sent[static_cast<std::size_t>(i * frames + frame)] = micros(Clock::now());
                lines[static_cast<std::size_t>(i)]->send(bytes);
                measuredSent += frame >= kWarmUpSeconds * 10 ? 1 : 0;
            }
        }
        ticksAfter = bench::cpuTicks(pid);
        QMetaObject::invokeMethod(
            &application,
            [] { QTimer::singleShot(500, [] { QCoreApplication::quit(); }); },
            Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    writer.join();

    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    sockets.clear();
    const long hz = ::sysconf(_SC_CLK_TCK);
    const double cpu = 100.0 * static_cast<double>(ticksAfter - ticksBefore) /
                       static_cast<double>(hz) / seconds;
    std::printf("%-9s %-8s %-9s %-8s %-17s %-8s %-8s %-8s\n", "stations", "clients", "frames/s",
                "CPU %", "messages", "p50 ms", "p99 ms", "max ms");
    std::printf("%-9d %-8d %-9d %-8.2f %-17s %-8.2f %-8.2f %-8.2f\n", stations, clients,
                stations * 10, cpu,
                (std::to_string(latencies.size()) + "/" +
                 std::to_string(measuredSent * clients))
                    .c_str(),
                bench::percentile(latencies, 0.5), bench::percentile(latencies, 0.99),
                bench::percentile(latencies, 1.0));
    lines.clear();
    ::rmdir(folder);
    return 0;
}
