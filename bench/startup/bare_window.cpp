// The start-up bench's yardstick: a bare Qt 6 window of the editor's kind (one
// main window, four menus, six buttons) and nothing else. With
// --quit-when-idle it ends once painted with the event loop idle, as the
// editor does.

#include <QApplication>
#include <QGridLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <memory>

#include "app/QuitWhenIdle.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Window"));
    for (const char* title : {"File", "Connection", "Settings", "Info"}) {
        QMenu* menu = window.menuBar()->addMenu(QString::fromLatin1(title));
        menu->addAction(QStringLiteral("Item"));
    }
    auto* client = new QWidget(&window);
    auto* grid = new QGridLayout(client);
    for (int i = 0; i < 6; ++i)
        grid->addWidget(new QPushButton(QStringLiteral("Button %1").arg(i + 1), client), i / 2,
                        i % 2);
    window.setCentralWidget(client);
    if (QApplication::arguments().contains(QStringLiteral("--quit-when-idle")))
        new QuitWhenIdle(&window);
    window.show();
    return app.exec();
}
