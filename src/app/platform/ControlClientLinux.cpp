#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/ControlClient.h"

ControlClient::~ControlClient() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

bool ControlClient::Connect(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ >= 0 &&
        connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return true;
    }
    if (socket_ >= 0) {
        close(socket_);
        socket_ = -1;
    }
    return false;
}

bool ControlClient::SendLine(const std::string& line) {
    const std::string bytes = line + "\n";
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t written =
            send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<ControlClient::Json> ControlClient::ReadLine(
    std::optional<std::chrono::milliseconds> limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = limit ? Clock::now() + *limit : Clock::time_point::max();
    while (input_.find('\n') == std::string::npos) {
        pollfd watched[2] = {{socket_, POLLIN, 0}, {abort_, POLLIN, 0}};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int timeout = limit ? static_cast<int>(std::max<long long>(left.count(), 0)) : -1;
        const int ready = poll(watched, abort_ >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        if (abort_ >= 0 && (watched[1].revents & POLLIN) != 0) {
            aborted_ = true;
            return std::nullopt;
        }
        char buffer[4096];
        const ssize_t size = recv(socket_, buffer, sizeof buffer, 0);
        if (size <= 0) {
            ended_ = true;
            return std::nullopt;
        }
        input_.append(buffer, static_cast<std::size_t>(size));
    }
    const std::size_t end = input_.find('\n');
    Json line = Json::parse(input_.substr(0, end), nullptr, false);
    input_.erase(0, end + 1);
    if (line.is_discarded()) {
        ended_ = true;
        return std::nullopt;
    }
    return line;
}

std::optional<ControlClient::Json> ControlClient::Call(Json request, const EventHandler& onEvent) {
    const long long id = nextId_++;
    request["id"] = id;
    if (!name_.empty()) {
        request["client"] = name_;
    }
    if (!SendLine(request.dump(-1, ' ', true, Json::error_handler_t::replace))) {
        return std::nullopt;
    }
    for (;;) {
        std::optional<Json> line = ReadLine();
        if (!line) {
            return std::nullopt;
        }
        if (line->contains("event")) {
            if (onEvent) {
                onEvent(*line);
            }
        } else if ((*line)["id"] == id) {
            return line;
        }
    }
}
