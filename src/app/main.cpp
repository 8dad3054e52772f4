// keyrig: the program.
#include <QApplication>

#include "app/program.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName("Keyrig");
    // The window stays alive while hidden in the notification area.
    application.setQuitOnLastWindowClosed(false);

    // The command line after the program's name, as one text.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    keyrig::Program program(keyrig::ProgramOptions::FromEnvironment(arguments.join(' ')));
    int status = 0;
    QObject::connect(&program, &keyrig::Program::finished, &application, [&status](int code) {
        status = code;
        QApplication::exit(code);
    });
    if (const auto ended = program.Start()) {
        return *ended;
    }
    application.exec();
    return status;
}
