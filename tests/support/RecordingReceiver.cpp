#include "support/RecordingReceiver.h"

std::vector<std::wstring> RecordingReceiver::MessagesAt(LogLevel level, std::size_t first) const {
    std::vector<std::wstring> found;
    for (std::size_t i = first; i < messages.size(); ++i)
        if (messages[i].first == level)
            found.push_back(messages[i].second);
    return found;
}

std::vector<RecordingReceiver::Message> RecordingReceiver::Without(LogLevel level) const {
    std::vector<Message> kept;
    for (const Message& message : messages)
        if (message.first != level)
            kept.push_back(message);
    return kept;
}

std::wstring RecordingReceiver::Text() const {
    std::wstring text;
    for (const Message& message : messages)
        text += message.second + L"\n";
    return text;
}
