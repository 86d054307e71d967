# What the benchmarks that run the programs share: a Release build, a scratch folder and the
# processes they start, all cleaned up on exit, and what they measure with. Sourced from the
# top of the tree, after scripts/deps.sh.

# release_build TARGET...: builds the targets in build/release and sets `bin`.
release_build() {
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF \
        -DSCALE_BUILD_BENCH=ON >/dev/null
    ninja -C build/release -j2 "$@" >/dev/null
    bin=build/release/bin
}

work=$(mktemp -d)
pids=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# User and system CPU of a process so far, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# The CPU time of a process's threads so far, in microseconds: the scheduler's own count, finer
# than clock ticks for a process that takes a few hundredths of a second in a run.
cpu_micros() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d\n", s / 1000 }'; }
