#include "tools/scale-wedge/wedgestation.h"

#include <QCoreApplication>
#include <QLocale>

#include "app/settings/datafolder.h"
#include "device/linesettings.h"
#include "protocols/userformats/formatcatalog.h"
#include "tools/scale-read/cli/stationconfig.h"
#include "tools/scale-read/engine/enginekeyboard.h"
#include "tools/scale-read/engine/systemhost.h"

namespace scalewedge {

void WedgeStation::note(const QString& text) {
    m_lastNote = text;
    if (onNote) {
        onNote(text);
    }
}

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
    scaleread::EngineSettings engineSettings;
    engineSettings.decimalSeparator = QLocale::system().decimalPoint().toStdString();
    // Nothing ends the wedge's reading but new settings or Quit: a lost port is waited for.
    m_engine = std::make_unique<scaleread::StationEngine>(
        std::vector{scaleread::singleStation(settings.port, commPort, device, settings.lineSettings,
                                             format)},
        engineSettings,
        scaleread::systemHost(folder + QStringLiteral("/ports"), m_clock,
                              [this](const QString& text) { note(text); }, {}));
    // The keyboard before the port, as the reader does; it takes records after the panel.
    auto keyboard = scaleread::startKeyboard(
        std::get<scaleread::TypeSettings>(type), *m_engine, m_clock,
        [this](const QString& text) { note(text); }, folder);
    if (!keyboard) {
        error = m_lastNote;
        return false;
    }
    m_keyboardName = m_lastNote;  // the start note names the keyboard
    m_keyboard = keyboard.get();
    m_engine->addOutlet(std::make_unique<PanelOutlet>(feed));
    m_engine->addOutlet(std::move(keyboard));
    if (!m_engine->open()) {
        error = m_lastNote;
        return false;
    }
    return true;
}

void WedgeStation::setPaused(bool paused) {
    if (m_keyboard != nullptr) {
        m_keyboard->outlet().setPaused(paused);
    }
}

}  // namespace scalewedge
