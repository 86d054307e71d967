#pragma once

#include <cstdio>

namespace scale::fuzz {

// A broken property stops the fuzzer as a crash does, so that libFuzzer saves the input.
inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        __builtin_trap();
    }
}

}  // namespace scale::fuzz
