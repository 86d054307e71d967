#include "support/formfixture.h"

#include <QFile>

namespace scale::test {

void FormFixture::writeSettings(const QByteArray& text) {
    QFile file(folder.path() + QStringLiteral("/Setting.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray FormFixture::readSettings() const {
    QFile file(folder.path() + QStringLiteral("/Setting.ini"));
    if (!file.open(QIODevice::ReadOnly)) {
        return "<missing>";
    }
    return file.readAll();
}

Form1& FormFixture::start() {
    form = std::make_unique<Form1>(view, comm, timer1, timer3, folder.path());
    form->Form_Load();
    clock.runPending();
    return *form;
}

}  // namespace scale::test
