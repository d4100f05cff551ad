#pragma once

#include <QAbstractTableModel>
#include <chrono>
#include <mutex>
#include <vector>

#include "foundation/LogMessageReceiver.h"
#include "ui/MessageLogRows.h"

// The window's "Message Log": Timestamp, Type and Message of the newest 201 messages its
// filter shows, errors red on white.
class MessageLogModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    struct Message {
        LogLevel level;
        std::wstring text;
        std::wstring timestamp;
    };
    // Appends in order; only the newest 201 rows the filter shows stay.
    void Append(const std::vector<Message>& messages);
    void SetFilter(LogFilter filter);
    LogFilter Filter() const { return rows_.Filter(); }
    void Clear();

  private:
    MessageLogRows rows_;
};

// The log's receiver for the window. The log calls it on any thread while holding its lock, so
// it only stamps and queues the message; a queued signal, emitted when the queue was empty,
// hands everything queued until then to the model on the window's thread in one go (reading a
// large settings file logs tens of thousands of lines).
class QueuedLogReceiver final : public QObject, public LogMessageReceiver {
    Q_OBJECT
  public:
    explicit QueuedLogReceiver(MessageLogModel& model);
    void AddLogMessage(LogLevel level, const std::wstring& message) override;
    // Empties the message log, with the messages still on their way to it.
    void Clear();

  signals:
    void messagesQueued();

  private:
    static constexpr std::chrono::milliseconds kDeliveryDelay{30};
    void Deliver();

    MessageLogModel& model_;
    std::mutex lock_;
    std::vector<MessageLogModel::Message> queued_;
};
