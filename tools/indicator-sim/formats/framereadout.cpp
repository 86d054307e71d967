#include "tools/indicator-sim/formats/framereadout.h"

#include "protocols/window/frames.h"
#include "protocols/window/shentong.h"
#include "protocols/window/weightframe.h"
#include "tools/indicator-sim/faults/faults.h"

namespace indicatorsim {
namespace {

struct FrameKind {
    std::size_t length;
    std::uint8_t first;
    bool endsWithEtx;                        // ShenTong frames end with any eighth byte
    const scale::WeightFrameLayout* layout;  // null for ShenTong
};

constexpr FrameKind kKinds[] = {
    {12, scale::kStx, true, &scale::kContinuousLayout},
    {14, scale::kStx, true, &scale::kCommandReplyLayout},
    {8, '=', false, nullptr},
};

}  // namespace

std::string frameReadout(std::span<const std::uint8_t> bytes) {
    for (const FrameKind& kind : kKinds) {
        if (bytes.size() != kind.length || bytes.front() != kind.first ||
            (kind.endsWithEtx && bytes.back() != scale::kEtx)) {
            continue;
        }
        // A fresh frame buffer, so that the frame counts as changed and is shown.
        scale::RxFrameBytes rxFrame{};
        double weight = 0;
        const scale::DecodeResult result =
            kind.layout ? scale::decodeWeightFrame(bytes, *kind.layout, rxFrame, weight)
                        : scale::decodeShenTongFrame(bytes, rxFrame, weight);
        if (result.readout == scale::ReadoutUpdate::Weighing) {
            return (result.signStep ? "-" : "") + result.weightText;
        }
    }
    return std::string(kNoReadout);
}

}  // namespace indicatorsim
