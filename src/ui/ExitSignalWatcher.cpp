#include "ui/ExitSignalWatcher.h"

#include <QSocketNotifier>

#include "ui/platform/SignalPipe.h"

ExitSignalWatcher::ExitSignalWatcher(QObject* parent) : QObject(parent) {
    const int descriptor = SignalPipe::Install();
    if (descriptor < 0) {
        return;
    }
    notifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this, descriptor] {
        SignalPipe::Drain(descriptor);
        emit exitRequested();
    });
}
