#include "ui/MessageLogModel.h"

#include <QBrush>

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

void MessageLogModel::Append(int level, const QString& message, const QString& timestamp) {
    if (rows_.AppendDropsOldest()) {
        beginRemoveRows(QModelIndex(), 0, 0);
        rows_.RemoveOldest();
        endRemoveRows();
    }
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    rows_.Append(static_cast<LogLevel>(level), message.toStdWString(), timestamp.toStdWString());
    endInsertRows();
}

void MessageLogModel::Clear() {
    beginResetModel();
    rows_.Clear();
    endResetModel();
}

QueuedLogReceiver::QueuedLogReceiver(MessageLogModel& model) {
    connect(this, &QueuedLogReceiver::messageLogged, &model, &MessageLogModel::Append,
            Qt::QueuedConnection);
}

void QueuedLogReceiver::AddLogMessage(LogLevel level, const std::wstring& message) {
    emit messageLogged(static_cast<int>(level), QString::fromStdWString(message),
                       QString::fromStdWString(FormatTimeOfDay(CurrentLocalTime())));
}
