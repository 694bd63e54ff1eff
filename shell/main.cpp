// Vaultra: the desktop station.
#include <QApplication>

#include "shell/shell_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vaultra"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vaultra"));
    vaultra::shell::ShellApp app;
    if (!app.Start()) {
        return 0;
    }
    const int status = QApplication::exec();
    app.End();
    return status;
}
