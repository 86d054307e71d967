#include "tools/scale-wedge/paneloutlet.h"

namespace scalewedge {

void PanelOutlet::record(const scaleread::Record& record) {
    if (record.typed != nullptr) {
        if (m_feed.typed) {
            m_feed.typed(QString::fromUtf8(record.typed->text.data(),
                                           static_cast<qsizetype>(record.typed->text.size())));
        }
        return;
    }
    if (m_feed.weight && record.frame.error == scale::FrameError::None) {
        m_feed.weight(QString::fromStdString(record.frame.text), record.stable);
    }
}

void PanelOutlet::portChanged(std::size_t, scaleread::PortState state, const QString&) {
    if (m_feed.port) {
        m_feed.port(state);
    }
}

}  // namespace scalewedge
