#include <QApplication>
#include <clocale>

#include "ui/ExitSignalWatcher.h"
#include "ui/MainWindow.h"
#include "ui/ProgramIcon.h"
#include "ui/Prompts.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Qt adopts the operator's locale; the core reads and writes numbers with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Ostra"));
    QApplication::setWindowIcon(ProgramIcon());

    ExitSignalWatcher exitSignals;
    QtPrompts prompts;
    MainWindow window(prompts);
    QObject::connect(&exitSignals, &ExitSignalWatcher::exitRequested, &window,
                     &MainWindow::CloseOnExitSignal);
    window.Start();
    if (window.IsClosed()) {
        return window.ExitCode();
    }
    window.show();
    application.exec();
    return window.ExitCode();
}
