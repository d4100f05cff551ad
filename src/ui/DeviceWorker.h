#pragma once

#include <QObject>
#include <QThread>
#include <functional>

// The one thread that runs every device operation, in the order asked, so that a silent
// device (a read waits up to 300 s) or an upload never freezes the window.
class DeviceWorker final : public QObject {
    Q_OBJECT
  public:
    DeviceWorker();
    ~DeviceWorker() override;

    // Runs job on the worker thread, then done on receiver's thread through its event loop. A
    // receiver destroyed before then gets nothing.
    void Run(QObject* receiver, std::function<void()> job, std::function<void()> done);
    // Finishes the jobs already asked for and ends the thread.
    void Stop();

  private:
    QThread thread_;
    QObject* context_;
};
