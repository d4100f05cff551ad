#include "ui/MessageLogModel.h"

#include <QBrush>
#include <QTimer>
#include <algorithm>

#include "foundation/TimeOfDay.h"

int MessageLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.Size());
}

int MessageLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant MessageLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const MessageLogRows::Row& row = rows_.At(static_cast<std::size_t>(index.row()));
    switch (role) {
        case Qt::DisplayRole: {
            const std::wstring* texts[] = {&row.timestamp, &row.type, &row.message};
            return QString::fromStdWString(*texts[index.column()]);
        }
        case Qt::ForegroundRole:
            return row.error ? QVariant(QBrush(QColor(255, 0, 0))) : QVariant();
        case Qt::BackgroundRole:
            return row.error ? QVariant(QBrush(QColor(255, 255, 255))) : QVariant();
        default:
            return {};
    }
}

QVariant MessageLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kTitles[] = {"Timestamp", "Type", "Message"};
    return section >= 0 && section < 3 ? QString::fromLatin1(kTitles[section]) : QVariant();
}

void MessageLogModel::Append(const std::vector<Message>& messages) {
    const std::size_t kMax = MessageLogRows::kMaxRows;
    const auto shown = static_cast<std::size_t>(
        std::count_if(messages.begin(), messages.end(),
                      [this](const Message& m) { return rows_.Shows(m.level); }));
    const std::size_t added = std::min(shown, kMax);
    const std::size_t dropped = std::min(
        rows_.Size(), rows_.Size() + added > kMax ? rows_.Size() + added - kMax : std::size_t{0});
    if (dropped > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(dropped) - 1);
        for (std::size_t n = 0; n < dropped; ++n) {
            rows_.RemoveOldest();
        }
        endRemoveRows();
    }
    // Hidden messages are kept for a wider filter; only the shown ones are rows.
    const int first = rowCount();
    if (added > 0) {
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(added) - 1);
    }
    for (const Message& message : messages) {
        rows_.Append(message.level, message.text, message.timestamp);
    }
    if (added > 0) {
        endInsertRows();
    }
}

void MessageLogModel::SetFilter(LogFilter filter) {
    beginResetModel();
    rows_.SetFilter(filter);
    endResetModel();
}

void MessageLogModel::Clear() {
    beginResetModel();
    rows_.Clear();
    endResetModel();
}

// The rows are handed over a little after the first message: a busy device job (an upload
// logs each packet) then wakes the window a few times a second instead of once per message,
// and leaves the processor to the job.
QueuedLogReceiver::QueuedLogReceiver(MessageLogModel& model) : model_(model) {
    connect(
        this, &QueuedLogReceiver::messagesQueued, &model,
        [this] { QTimer::singleShot(kDeliveryDelay, &model_, [this] { Deliver(); }); },
        Qt::QueuedConnection);
}

void QueuedLogReceiver::AddLogMessage(LogLevel level, const std::wstring& message) {
    bool wasEmpty = false;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        wasEmpty = queued_.empty();
        queued_.push_back({level, message, FormatTimeOfDay(CurrentLocalTime())});
    }
    if (wasEmpty) {
        emit messagesQueued();
    }
}

void QueuedLogReceiver::Clear() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        queued_.clear();
    }
    model_.Clear();
}

void QueuedLogReceiver::Deliver() {
    std::vector<MessageLogModel::Message> messages;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        messages.swap(queued_);
    }
    model_.Append(messages);
}
