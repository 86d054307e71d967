#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <variant>

#include "tools/scale-read/modbus/stationregisters.h"

namespace scaleread {

// How the Modbus server listens, on TCP, on a serial line or both, and what it lets clients do.
struct ModbusSettings {
    bool tcp = false;
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;  // 0: any free port, named on standard error
    QString rtuPort;   // empty: no RTU slave
    QString rtuSettings = QStringLiteral("19200,E,8,1");
    WordOrder order = WordOrder::HighFirst;
    QList<QPair<QHostAddress, int>> allowed;  // --modbus-allow; empty: every client
    bool allowCommands = false;
};

// The values of --modbus, --modbus-rtu (empty when not given), --modbus-word-order,
// --modbus-allow and --allow-commands, checked; or the command-line error.
std::variant<ModbusSettings, QString> parseModbusSettings(const QString& tcp, const QString& rtu,
                                                          const QString& wordOrder,
                                                          const QStringList& allowed,
                                                          bool allowCommands);

}  // namespace scaleread
