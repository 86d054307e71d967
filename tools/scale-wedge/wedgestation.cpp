#include "tools/scale-wedge/wedgestation.h"

#include <QCoreApplication>
#include <QLocale>

#include "app/datafolder.h"
#include "device/linesettings.h"
#include "protocols/userformats/formatcatalog.h"
#include "tools/scale-read/cli/stationconfig.h"

namespace scalewedge {

bool WedgeStation::start(const WedgeSettings& settings, QString& error) {
    auto type = settings.typeSettings();
    if (const auto* refused = std::get_if<QString>(&type)) {
        error = *refused;
        return false;
    }
    static const scale::FormatCatalog catalog;
    const scale::FormatDescription* format = catalog.find(settings.protocol.toStdString());
    if (format == nullptr) {
        error = QStringLiteral("no protocol %1").arg(settings.protocol);
        return false;
    }
    int commPort = 1;
    QString device;
    if (const auto refused = scaleread::parsePortName(settings.port, commPort, device)) {
        error = QStringLiteral("port ") + *refused;
        return false;
    }
    if (!scale::parseLineSettings(settings.lineSettings.toStdString())) {
        error = QStringLiteral("the line settings %1 are not baud,parity,data,stop")
                    .arg(settings.lineSettings);
        return false;
    }
    const QString folder = scale::dataFolder(QCoreApplication::applicationDirPath());
    // The keyboard before the port, as the reader does.
    QString keyboardError;
    m_keyboard = scaleread::KeyboardRun::start(
        std::get<scaleread::TypeSettings>(type), {settings.port}, m_clock,
        [this, &keyboardError](const QString& text) {
            keyboardError = text;
            if (onNote) {
                onNote(text);
            }
        },
        folder);
    if (!m_keyboard) {
        error = keyboardError;
        return false;
    }
    m_keyboardName = keyboardError;  // the start note names the keyboard
    m_keyboard->setOnTyped([this](const scaleread::TypedValue& value) {
        if (onTyped) {
            onTyped(QString::fromStdString(value.text));
        }
    });
    m_port = std::make_unique<scale::QtSerialControl>(folder + QStringLiteral("/ports"));
    if (!device.isEmpty()) {
        m_port->setFixedDevice(device);
    }
    (void)m_port->setCommPort(static_cast<std::int16_t>(commPort));
    (void)m_port->setSettings(settings.lineSettings);
    scaleread::ReadingRules rules;
    rules.format = format;
    m_reader = std::make_unique<scaleread::StationReader>(
        *m_port, m_pollTimer, m_watchTimer, m_clock, rules,
        QLocale::system().decimalPoint().toStdString());
    m_reader->setOnFrame([this](std::int64_t utc, const scale::StreamFrame& frame, bool stable,
                                bool) {
        m_keyboard->outlet().frame(0, utc, frame, stable);
        if (onWeight && frame.error == scale::FrameError::None) {
            onWeight(QString::fromStdString(frame.text), stable);
        }
    });
    m_reader->setOnNote([this](const QString& text) {
        if (onNote) {
            onNote(text);
        }
    });
    m_reader->setOnLineEvent([this](scale::SerialControl::LineEvent event) {
        const bool lost = event == scale::SerialControl::LineEvent::Lost;
        m_keyboard->outlet().portChanged(0, lost ? scaleread::PortState::Lost
                                                 : scaleread::PortState::Open, {});
        if (onNote) {
            onNote(lost ? QStringLiteral("the port is gone; waiting for it")
                        : QStringLiteral("the port is back"));
        }
    });
    if (!m_port->setPortOpen(true) || !m_reader->start()) {
        error = QStringLiteral("cannot open %1: %2").arg(settings.port, m_port->openFailure());
        return false;
    }
    return true;
}

void WedgeStation::setPaused(bool paused) {
    if (m_keyboard) {
        m_keyboard->outlet().setPaused(paused);
    }
}

}  // namespace scalewedge
