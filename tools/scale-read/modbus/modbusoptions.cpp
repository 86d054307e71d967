#include "tools/scale-read/modbus/modbusoptions.h"


#include "device/linesettings.h"
#include "tools/scale-read/cli/listenaddress.h"
#include "tools/scale-read/cli/optiongroups.h"
#include "tools/scale-read/cli/stationconfig.h"

namespace scaleread {
std::variant<ModbusSettings, QString> parseModbusSettings(const QString& tcp, const QString& rtu,
                                                          const QString& wordOrder,
                                                          const QStringList& allowed,
                                                          bool allowCommands) {
    ModbusSettings settings;
    settings.allowCommands = allowCommands;
    if (!tcp.isEmpty()) {
        if (const auto refused = parseListenAddress(QStringLiteral("--modbus"), tcp,
                                                    QStringLiteral("502"), settings.address,
                                                    settings.port)) {
            return *refused;
        }
        settings.tcp = true;
    }
    if (!rtu.isEmpty()) {
        const qsizetype comma = rtu.indexOf(QLatin1Char(','));
        settings.rtuPort = rtu.left(comma);
        if (comma >= 0) {
            settings.rtuSettings = rtu.mid(comma + 1);
        }
        int commPort = 1;
        QString device;
        if (const auto refused = parsePortName(settings.rtuPort, commPort, device)) {
            return QStringLiteral("--modbus-rtu: ") + *refused;
        }
        if (!scale::parseLineSettings(settings.rtuSettings.toStdString())) {
            return QStringLiteral("--modbus-rtu '%1' is not PORT[,BAUD,PARITY,DATA,STOP] such as "
                                  "/dev/ttyUSB1,19200,E,8,1")
                .arg(rtu);
        }
    }
    if (wordOrder == QLatin1String("cdab")) {
        settings.order = WordOrder::LowFirst;
    } else if (!wordOrder.isEmpty() && wordOrder != QLatin1String("abcd")) {
        return QStringLiteral("--modbus-word-order '%1' is not abcd or cdab").arg(wordOrder);
    }
    for (const QString& subnet : allowed) {
        const auto parsed = QHostAddress::parseSubnet(subnet);
        if (parsed.first.isNull()) {
            return QStringLiteral("--modbus-allow '%1' is not an address or a subnet such as "
                                  "10.1.2.0/24")
                .arg(subnet);
        }
        settings.allowed.append(parsed);
    }
    if (!settings.allowed.isEmpty() && !settings.tcp) {
        return QStringLiteral("--modbus-allow is for --modbus");
    }
    return settings;
}

namespace {

std::optional<OptionFault> checkModbus(OptionContext& context) {
    if (!context.isSet("modbus") && !context.isSet("modbus-rtu")) {
        for (const char* modbus : {"modbus-word-order", "modbus-allow"}) {
            if (context.isSet(modbus)) {
                return UsageError{QStringLiteral("--%1 is for --modbus").arg(QLatin1String(modbus))};
            }
        }
        return std::nullopt;
    }
    auto parsed = parseModbusSettings(context.value("modbus"), context.value("modbus-rtu"),
                                      context.value("modbus-word-order"),
                                      context.values("modbus-allow"),
                                      context.isSet("allow-commands"));
    if (const auto* refused = std::get_if<QString>(&parsed)) {
        return UsageError{*refused};
    }
    context.options.modbus = std::get<ModbusSettings>(std::move(parsed));
    return std::nullopt;
}

const OptionRow kModbusRows[] = {
    {.name = "modbus",
     .valueName = "[ADDR:]PORT",
     .help = "a Modbus TCP server (default address 127.0.0.1; 0.0.0.0 for every\n"
             "interface; port 0 takes a free one, named on stderr): station k (in\n"
             "the order of --station; a single --port is station 1) as unit id k at\n"
             "registers 0-23, and every station under unit id 0 and 255 at\n"
             "100(k-1) to 100(k-1)+23; holding and input registers alike.\n"
             "Records then go to a file only with --output",
     .modes = kRead},
    {.name = "modbus-rtu",
     .valueName = "PORT[,B,P,D,S]",
     .help = "the same registers as an RTU slave at address 1 on a serial line\n"
             "(default 19200,E,8,1), every station at 100(k-1)",
     .modes = kRead},
    {.name = "modbus-word-order",
     .valueName = "ORDER",
     .help = "abcd (default: the high word first) or cdab, for the 32-bit values",
     .modes = kRead},
    {.name = "modbus-allow",
     .valueName = "CIDR",
     .help = "only clients from this address or subnet (10.1.2.0/24) may connect\n"
             "(any number of times)",
     .modes = kRead,
     .repeats = true},
    {.name = "allow-commands",
     .help = "take zero (1), tare (2) and clear tare (3) written to registers 20-21\n"
             "with a sequence number; without it the result is 6, and nothing is\n"
             "sent to the indicator",
     .again = true},
};

}  // namespace

const OptionGroup modbusOptions{
    .heading = "Serving PLCs (Modbus; the register map is in docs/modbus.md):",
    .rows = kModbusRows,
    .check = checkModbus};

}  // namespace scaleread
