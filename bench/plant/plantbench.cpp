// Many stations into one reader and one broker: N pseudo-terminals, each sent a continuous frame
// ten times a second (spread evenly over the 100 ms), read by one scale-read publishing to a
// local broker, and a subscriber in this process. Reports the reader's CPU and the time from
// each frame's write to its reading's arrival at the subscriber, on one steady clock.
// Usage: plant-bench SCALE_READ BROKER_PORT [STATIONS [SECONDS]]
#include <mosquitto.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/processfigures.h"
#include "bench/common/stationlines.h"

namespace {

using bench::Clock;

constexpr int kWarmUpSeconds = 3;

double micros(Clock::time_point at) {
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count());
}

// When each station's frame number n was written, in microseconds; 0 for not yet.
struct Sent {
    std::vector<std::vector<double>> at;
};

struct Received {
    std::mutex lock;
    std::vector<double> latencies;  // milliseconds, frames written after the warm-up
    std::atomic<long> count{0};
    double measureFrom = 0;
    const Sent* sent = nullptr;
};

// "station":"s12" ... "weight":345 from a reading's payload.
bool parseReading(const char* payload, int length, int& station, long& number) {
    const std::string text(payload, static_cast<std::size_t>(length));
    const auto s = text.find("\"station\":\"s");
    const auto w = text.find("\"weight\":");
    if (s == std::string::npos || w == std::string::npos) {
        return false;
    }
    station = std::atoi(text.c_str() + s + 12);
    number = std::atol(text.c_str() + w + 9);
    return true;
}

void onMessage(mosquitto*, void* context, const mosquitto_message* message) {
    const double now = micros(Clock::now());
    auto* received = static_cast<Received*>(context);
    int station = 0;
    long number = 0;
    if (!parseReading(static_cast<const char*>(message->payload), message->payloadlen, station,
                      number)) {
        return;
    }
    ++received->count;
    const auto& at = received->sent->at;
    if (station < 0 || station >= static_cast<int>(at.size()) || number < 0 ||
        number >= static_cast<long>(at[static_cast<std::size_t>(station)].size())) {
        return;
    }
    const double written = at[static_cast<std::size_t>(station)][static_cast<std::size_t>(number)];
    if (written >= received->measureFrom && written > 0) {
        std::lock_guard guard(received->lock);
        received->latencies.push_back((now - written) / 1000.0);
    }
}

// A subscriber to every station's readings under the prefix "bench", handing them to
// `received`; null, with the reason on standard error, when it cannot subscribe.
mosquitto* subscribe(int port, Received& received) {
    mosquitto_lib_init();
    mosquitto* subscriber = mosquitto_new("plant-bench", true, &received);
    mosquitto_message_callback_set(subscriber, &onMessage);
    if (mosquitto_connect(subscriber, "127.0.0.1", port, 10) != MOSQ_ERR_SUCCESS ||
        mosquitto_subscribe(subscriber, nullptr, "bench/+/reading", 0) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(subscriber) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "plant-bench: cannot subscribe at 127.0.0.1:%d\n", port);
        return nullptr;
    }
    return subscriber;
}

void unsubscribe(mosquitto* subscriber) {
    mosquitto_disconnect(subscriber);
    mosquitto_loop_stop(subscriber, false);
    mosquitto_destroy(subscriber);
    mosquitto_lib_cleanup();
}

void printFigures(int stations, double cpu, const std::vector<double>& latencies,
                  long measuredSent) {
    std::printf("%-9s %-11s %-8s %-9s %-9s %-9s %-9s\n", "stations", "frames/s", "CPU %",
                "received", "p50 ms", "p99 ms", "max ms");
    std::printf("%-9d %-11d %-8.2f %-9s %-9.2f %-9.2f %-9.2f\n", stations, stations * 10, cpu,
                (std::to_string(latencies.size()) + "/" + std::to_string(measuredSent)).c_str(),
                bench::percentile(latencies, 0.5), bench::percentile(latencies, 0.99),
                bench::percentile(latencies, 1.0));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: plant-bench SCALE_READ BROKER_PORT [STATIONS [SECONDS]]\n");
        return 2;
    }
    const std::string reader = argv[1];
    const int port = std::atoi(argv[2]);
    const int stations = argc > 3 ? std::atoi(argv[3]) : 50;
    const int seconds = argc > 4 ? std::atoi(argv[4]) : 30;
    const int frames = (seconds + kWarmUpSeconds + 2) * 10;
    std::signal(SIGPIPE, SIG_IGN);

    const auto lines = bench::StationLines::open("plant-bench", stations);
    if (!lines) {
        return 1;
    }
    std::vector<std::string> arguments = {reader};
    arguments.insert(arguments.end(), lines->arguments().begin(), lines->arguments().end());
    arguments.push_back("--mqtt");
    arguments.push_back("mqtt://127.0.0.1:" + std::to_string(port));
    arguments.push_back("--mqtt-prefix");
    arguments.push_back("bench");

    Sent sent;
    sent.at.assign(static_cast<std::size_t>(stations),
                   std::vector<double>(static_cast<std::size_t>(frames), 0.0));
    Received received;
    received.sent = &sent;
    mosquitto* subscriber = subscribe(port, received);
    if (!subscriber) {
        return 1;
    }
    const pid_t pid = bench::spawn(reader, std::move(arguments));
    if (pid == 0) {
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the reader opens its ports

    const auto start = Clock::now();
    received.measureFrom = micros(start + std::chrono::seconds(kWarmUpSeconds));
    long ticksBefore = -1;
    const long measuredSent = lines->send(
        start, (seconds + kWarmUpSeconds) * 10, kWarmUpSeconds * 10, pid, ticksBefore,
        [&](int station, int frame, Clock::time_point at) {
            sent.at[static_cast<std::size_t>(station)][static_cast<std::size_t>(frame)] =
                micros(at);
        });
    const long ticksAfter = bench::cpuTicks(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the last readings arrive

    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    unsubscribe(subscriber);
    std::vector<double> latencies;
    {
        std::lock_guard guard(received.lock);
        latencies = received.latencies;
    }
    printFigures(stations, bench::cpuPercent(ticksAfter - ticksBefore, seconds), latencies,
                 measuredSent);
    return 0;
}
