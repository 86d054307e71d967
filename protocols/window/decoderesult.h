#pragma once

#include <string>

#include "protocols/window/framecapture.h"

namespace scale {

// What a reader must do to the weight readout after one chunk.
enum class ReadoutUpdate {
    Waiting,    // no valid frame: "Load..." in red
    Unchanged,  // a valid frame that repeats the stored bytes: leave the readout alone
    Weighing,   // a valid, changed frame: show `weightText` in green
};

struct DecodeResult {
    Capture capture;
    ReadoutUpdate readout = ReadoutUpdate::Waiting;
    // Set FrameSeen: a frame was accepted, so the watchdog leaves the readout alone.
    bool frameSeen = false;
    // With Weighing: the caption, for example "12.345kg" (UTF-8: the separator is the host's).
    std::string weightText;
    // With Weighing: the frame's sign byte was "-", so a second caption assignment puts "-" in
    // front of the first.
    bool signStep = false;
};

}  // namespace scale
