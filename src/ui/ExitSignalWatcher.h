#pragma once

#include <QObject>

class QSocketNotifier;

// Emits exitRequested on the window's thread when SIGTERM or SIGINT arrives, so an ended
// session closes the window as Close does and no settings are lost.
class ExitSignalWatcher final : public QObject {
    Q_OBJECT
  public:
    explicit ExitSignalWatcher(QObject* parent = nullptr);

  signals:
    void exitRequested();

  private:
    QSocketNotifier* notifier_ = nullptr;
};
