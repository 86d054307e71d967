// Listing the host's serial ports.
#include "tools/scale-read/cli/optiongroups.h"

namespace scaleread {
namespace {

const OptionRow kPortsRows[] = {
    {.name = "ports",
     .help = "one line per serial device, in the order ComN takes them: the ComN\n"
             "it is now and the ports/ComN links that point at it, the device, its\n"
             "/dev/serial/by-id name, USB vendor:product, maker, product and\n"
             "serial number, driver, group, whether this user may open it (with\n"
             "the usermod command when not), the process that holds it, and\n"
             "programs known to take such ports (ModemManager, brltty) when they\n"
             "run; \"--format jsonl\" for one JSON object a line",
     .modes = kPorts},
};

}  // namespace

const OptionGroup portsOptions{.heading = "The host's ports:", .rows = kPortsRows};

ParsedOptions readPortsOptions(const tooloptions::GivenOptions& given) {
    if (auto refused = refuseOutside(ReaderOptions::Task::Ports, given)) {
        return *refused;
    }
    ReaderOptions options;
    options.task = ReaderOptions::Task::Ports;
    options.format = OutputFormat::Text;
    const QString format = QString::fromStdString(given.value("format"));
    if (given.isSet("format") && format != QLatin1String("text")) {
        if (format != QLatin1String("jsonl")) {
            return UsageError{
                QStringLiteral("--format '%1' is not text or jsonl for --ports").arg(format)};
        }
        options.format = OutputFormat::Jsonl;
    }
    return options;
}

}  // namespace scaleread
