#pragma once

// What the window's benchmark programs share. Header-only: only programs that link the window
// include it.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QtGlobal>

#include "Median.h"
#include "ui/MainWindow.h"
#include "ui/Prompts.h"

// Without a display unless the caller chose a platform; call before making the QApplication.
inline void UseOffscreenUnlessSet() {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

// Answers every question the same way and shows no box.
class AnsweringPrompts final : public Prompts {
  public:
    explicit AnsweringPrompts(bool confirm) : confirm_(confirm) {}
    void ShowError(QWidget*, const QString&, const QString&) override {}
    void ShowInformation(QWidget*, const QString&, const QString&) override {}
    bool Confirm(QWidget*, const QString&, const QString&) override { return confirm_; }
    QString OpenSettingsFile(QWidget*) override { return {}; }
    QString SaveSettingsFile(QWidget*) override { return {}; }

  private:
    bool confirm_;
};

// An event loop that looks every 5 ms: processEvents with a time limit never sleeps, and its
// spinning would take the processor from what is being measured.
inline void WaitWhileBusy(const MainWindow& window) {
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (!window.IsBusy()) {
            loop.quit();
        }
    });
    look.start(5);
    loop.exec();
}
