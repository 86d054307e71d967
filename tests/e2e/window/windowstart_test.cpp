// The window's program without any display: --help and --version answer, and a window that
// cannot be shown says so in one line instead of the toolkit's abort.
#include <gtest/gtest.h>

#include <QProcess>

namespace scale::test {
namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome runWithoutDisplay(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SCALE_READOUT_PATH), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(WindowStart, AnswersHelpAndVersionAndSaysWhenThereIsNoDisplay) {
    const Outcome help = runWithoutDisplay({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: scale-readout [QT-OPTIONS]\n")))
        << help.out.toStdString();
    EXPECT_EQ(help.err, QString());

    const Outcome version = runWithoutDisplay({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("scale-readout " SCALE_READOUT_VERSION "\n"));

    const Outcome window = runWithoutDisplay({});
    EXPECT_EQ(window.status, 1);
    EXPECT_EQ(window.out, QString());
    EXPECT_EQ(window.err,
              QStringLiteral("scale-readout: no display to show the window on (DISPLAY and "
                             "WAYLAND_DISPLAY are not set); start it in a desktop session, or "
                             "under xvfb-run\n"));
}

}  // namespace
}  // namespace scale::test
