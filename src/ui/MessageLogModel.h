#pragma once

#include <QAbstractTableModel>

#include "foundation/LogMessageReceiver.h"
#include "ui/MessageLogRows.h"

// The window's "Message Log": Timestamp, Type and Message of the newest 201 messages, errors
// red on white.
class MessageLogModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Append(int level, const QString& message, const QString& timestamp);
    void Clear();

  private:
    MessageLogRows rows_;
};

// The log's receiver for the window. The log calls it on any thread while holding its lock, so
// it only stamps the message and emits a signal that reaches the model on the window's thread.
class QueuedLogReceiver final : public QObject, public LogMessageReceiver {
    Q_OBJECT
  public:
    explicit QueuedLogReceiver(MessageLogModel& model);
    void AddLogMessage(LogLevel level, const std::wstring& message) override;

  signals:
    void messageLogged(int level, const QString& message, const QString& timestamp);
};
