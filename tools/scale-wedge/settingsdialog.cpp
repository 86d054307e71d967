#include "tools/scale-wedge/settingsdialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

#include "protocols/stream/formattable.h"

namespace scalewedge {

SettingsDialog::SettingsDialog(const WedgeSettings& settings, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Scale to keyboard: settings"));
    auto* form = new QFormLayout(this);
    m_port = new QComboBox;
    m_port->setEditable(true);
    for (int n = 1; n <= 8; ++n) {
        m_port->addItem(QStringLiteral("Com%1").arg(n));
    }
    m_port->setCurrentText(settings.port);
    m_lineSettings = new QLineEdit(settings.lineSettings);
    m_protocol = new QComboBox;
    for (const scale::FormatDescription& format : scale::builtinFormats()) {
        m_protocol->addItem(QString::fromUtf8(format.name.data(),
                                              static_cast<qsizetype>(format.name.size())));
    }
    m_protocol->setCurrentText(settings.protocol);
    auto* findButton = new QPushButton(QStringLiteral("Find"));
    findButton->setToolTip(QStringLiteral("Listen at every setting and format to find the "
                                          "indicator's (up to 30 s); sends no command"));
    connect(findButton, &QPushButton::clicked, this, [this] { find(); });
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_port, 1);
    portRow->addWidget(findButton);
    form->addRow(QStringLiteral("Port"), portRow);
    form->addRow(QStringLiteral("Line settings"), m_lineSettings);
    form->addRow(QStringLiteral("Protocol"), m_protocol);
    m_text = new QLineEdit(settings.text);
    m_text->setToolTip(QStringLiteral("{weight} {weight:0.00} {unit} {gross} {net} {tare} {mode} "
                                      "{seq} {time:%H:%M:%S} {Tab} {Enter} {Esc} {Wait MS}"));
    form->addRow(QStringLiteral("Type"), m_text);
    m_decimal = new QComboBox;
    m_decimal->addItems({QStringLiteral("."), QStringLiteral(",")});
    m_decimal->setCurrentText(settings.decimal);
    form->addRow(QStringLiteral("Decimal separator"), m_decimal);
    m_on = new QComboBox;
    m_on->addItems({QStringLiteral("settle"), QStringLiteral("print"), QStringLiteral("hotkey")});
    m_on->setCurrentText(settings.on);
    form->addRow(QStringLiteral("When"), m_on);
    m_hotkey = new QLineEdit(settings.hotkey);
    m_hotkey->setPlaceholderText(QStringLiteral("F9, ctrl+alt+w"));
    form->addRow(QStringLiteral("Hotkey"), m_hotkey);
    m_into = new QLineEdit(settings.into);
    m_into->setPlaceholderText(QStringLiteral("any window; or a title such as Shipping|Sheet"));
    form->addRow(QStringLiteral("Only into windows"), m_into);
    m_problem = new QLabel;
    m_problem->setWordWrap(true);
    form->addRow(m_problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

WedgeSettings SettingsDialog::settings() const {
    WedgeSettings settings;
    settings.port = m_port->currentText().trimmed();
    settings.lineSettings = m_lineSettings->text().trimmed();
    settings.protocol = m_protocol->currentText();
    settings.text = m_text->text();
    settings.on = m_on->currentText();
    settings.hotkey = m_hotkey->text().trimmed();
    settings.into = m_into->text();
    settings.decimal = m_decimal->currentText();
    return settings;
}

void SettingsDialog::done(int result) {
    if (result == QDialog::Accepted) {
        const auto checked = settings().typeSettings();
        if (const auto* problem = std::get_if<QString>(&checked)) {
            m_problem->setText(*problem);
            return;
        }
    }
    if (m_detection != nullptr) {
        m_detection->kill();
        m_detection->waitForFinished();
    }
    QDialog::done(result);
}

void SettingsDialog::find() {
    if (m_detection != nullptr) {
        return;
    }
    // The reader's own detection, from the program beside this one or on the PATH.
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/scale-read");
    m_detection = new QProcess(this);
    m_problem->setText(QStringLiteral("Listening on %1 ...").arg(m_port->currentText()));
    connect(m_detection, &QProcess::finished, this, [this] {
        const QString out = QString::fromUtf8(m_detection->readAllStandardOutput());
        static const QRegularExpression found(
            QStringLiteral("found: --settings (\\S+) --protocol (\\S+)"));
        const auto match = found.match(out);
        if (match.hasMatch()) {
            m_lineSettings->setText(match.captured(1));
            m_protocol->setCurrentText(match.captured(2));
            m_problem->setText(QStringLiteral("Found %1, %2").arg(match.captured(1), match.captured(2)));
        } else {
            const QStringList lines = out.trimmed().split(QLatin1Char('\n'));
            m_problem->setText(lines.isEmpty() ? QStringLiteral("Nothing found") : lines.last());
        }
        m_detection->deleteLater();
        m_detection = nullptr;
    });
    m_detection->start(QFileInfo::exists(beside) ? beside : QStringLiteral("scale-read"),
                       {QStringLiteral("--detect"), QStringLiteral("--port"), m_port->currentText()});
}

}  // namespace scalewedge
