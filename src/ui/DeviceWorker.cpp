#include "ui/DeviceWorker.h"

#include <utility>

DeviceWorker::DeviceWorker() : context_(new QObject) {
    context_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("ostra-device"));
    thread_.start();
}

DeviceWorker::~DeviceWorker() {
    Stop();
}

void DeviceWorker::Run(QObject* receiver, std::function<void()> job, std::function<void()> done) {
    QMetaObject::invokeMethod(
        context_,
        [receiver, job = std::move(job), done = std::move(done)] {
            job();
            QMetaObject::invokeMethod(receiver, done, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void DeviceWorker::Stop() {
    if (thread_.isRunning()) {
        thread_.quit();
        thread_.wait();
    }
}
