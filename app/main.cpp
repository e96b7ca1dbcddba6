#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel l("itemanalysis");
    l.show();
    return app.exec();
}
