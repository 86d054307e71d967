// The selection boxes under each set of CJK fonts the package accepts (WenQuanYi Zen Hei, Noto
// CJK, both, neither), whatever fonts this machine has: each set runs boxtexts-check in a process
// of its own with a fontconfig configuration that lists only the set's folders.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString kWqy = QStringLiteral("/usr/share/fonts/truetype/wqy");
const QString kNoto = QStringLiteral("/usr/share/fonts/opentype/noto");
// What the window needs besides a CJK font: the readout's narrow face and the fallback face.
const QStringList kOtherFaces = {QStringLiteral("/usr/share/fonts/truetype/dejavu"),
                                 QStringLiteral("/usr/share/fonts/opentype/urw-base35")};

struct FontSet {
    const char* name;
    QStringList folders;
    // As boxtexts-check reports them: the set's CJK families, and the faces that draw "None"
    // and "申通" in the boxes.
    const char* cjkFamilies;
    const char* drawnIn;
};

// The host's own rules (aliases, hinting) stay; its font folders and the user's settings do not.
QByteArray fontsConf(const QStringList& folders, const QString& cache) {
    QByteArray conf = "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                      "<fontconfig>\n";
    for (const QString& folder : folders) {
        conf += "  <dir>" + folder.toUtf8() + "</dir>\n";
    }
    conf += "  <cachedir>" + cache.toUtf8() + "</cachedir>\n";
    conf += "  <include ignore_missing=\"yes\">/etc/fonts/conf.d</include>\n</fontconfig>\n";
    return conf;
}

TEST(FontSets, BoxTextsShowWholeUnderEveryCjkFontSet) {
    for (const QString& folder : QStringList{kWqy, kNoto} + kOtherFaces) {
        ASSERT_TRUE(QDir(folder).exists()) << folder.toStdString()
                                           << " is missing: scripts/deps.sh installs it";
    }
    const FontSet sets[] = {
        {"wqy", {kWqy}, "WenQuanYi Zen Hei", "Nimbus Sans Narrow, WenQuanYi Zen Hei"},
        {"noto", {kNoto}, "Noto Sans CJK SC, Noto Serif CJK SC",
         "Nimbus Sans Narrow, Noto Sans CJK SC"},
        {"both", {kWqy, kNoto}, "Noto Sans CJK SC, Noto Serif CJK SC, WenQuanYi Zen Hei",
         "Nimbus Sans Narrow, Noto Sans CJK SC"},
        // No face draws Chinese: the boxes' own face draws its missing-glyph boxes.
        {"none", {}, "", "Nimbus Sans Narrow, Nimbus Sans Narrow"},
    };
    QDir().mkpath(QStringLiteral(SCALE_WINDOW_SHOTS));
    for (const FontSet& set : sets) {
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        QFile conf(home.filePath(QStringLiteral("fonts.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(fontsConf(set.folders + kOtherFaces, home.filePath(QStringLiteral("cache"))));
        conf.close();

        QProcess check;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FONTCONFIG_FILE"), conf.fileName());
        // No fonts or font settings of the user running the test.
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        environment.insert(QStringLiteral("SCALE_WINDOW_SHOT"),
                           QStringLiteral(SCALE_WINDOW_SHOTS "/window-%1.png")
                               .arg(QString::fromLatin1(set.name)));
        check.setProcessEnvironment(environment);
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(QStringLiteral(SCALE_BOXTEXTS_CHECK), {});
        ASSERT_TRUE(check.waitForFinished(120000)) << set.name;
        const QString output = QString::fromUtf8(check.readAll());
        EXPECT_EQ(check.exitStatus(), QProcess::NormalExit) << set.name;
        EXPECT_EQ(check.exitCode(), 0) << set.name << ":\n" << output.toStdString();
        // The set was the one in force, and the boxes drew in the faces they name.
        const QString faces = QStringLiteral("cjk families: %1\nbox texts drawn in: %2")
                                  .arg(QString::fromLatin1(set.cjkFamilies),
                                       QString::fromLatin1(set.drawnIn));
        const qsizetype start = output.indexOf(QStringLiteral("cjk families:"));
        EXPECT_EQ(output.mid(start).section(QLatin1Char('\n'), 0, 1), faces)
            << set.name << ":\n" << output.toStdString();
    }
}

}  // namespace
