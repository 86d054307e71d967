// The floor for start-up: a bare Qt window with one 100-point bold label, nothing else.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(554, 297);
    QLabel label(QStringLiteral("Load..."), &window);
    QFont font = label.font();
    font.setPointSize(100);
    font.setBold(true);
    label.setFont(font);
    label.adjustSize();
    window.show();
    return application.exec();
}
