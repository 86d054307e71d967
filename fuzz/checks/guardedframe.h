#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>

#include "fuzz/checks/fuzzcheck.h"
#include "protocols/window/frames.h"

namespace scale::fuzz {

// An RxFrame in a heap block of exactly its 31 bytes, so that AddressSanitizer reports any read
// or write past its end; index 0 must keep the byte it started with.
class GuardedFrame {
public:
    explicit GuardedFrame(std::span<const std::uint8_t> initial = {})
        : m_frame(std::make_unique<RxFrameBytes>()) {
        m_frame->fill(0);
        std::copy_n(initial.begin(), std::min(initial.size(), m_frame->size()), m_frame->begin());
        m_indexZero = (*m_frame)[0];
    }

    RxFrameBytes& frame() { return *m_frame; }

    void check() const {
        require((*m_frame)[0] == m_indexZero, "capture never writes RxFrame index 0");
    }

private:
    std::unique_ptr<RxFrameBytes> m_frame;
    std::uint8_t m_indexZero = 0;
};

}  // namespace scale::fuzz
