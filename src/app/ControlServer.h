#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/OperationResult.h"
#include "foundation/platform/PrivateFolder.h"

class ControlService;

namespace asio {
class io_context;
}

// The per-user control socket: a Unix-domain stream socket on a thread of its own (an Asio
// event loop) that reads JSON-line requests, hands them to the control service and writes the
// answers, in request order, and the events of subscribed connections.
//
// Only the same user may connect: the socket's folder is private, and a peer of another user
// is closed at once. A client never holds anything up: one that stops reading is dropped once
// more than the queue limit waits for it, and a request line over the protocol's limit closes
// its connection after the answer that says why.
class ControlServer {
  public:
    static constexpr std::size_t kDefaultQueueLimit = 1024 * 1024;

    // The service must outlive the server.
    explicit ControlServer(ControlService& service);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Serves at the per-user place (see ControlSocket), its folder made private first.
    OperationResult Start();
    // Serves at `path`, whose folder the caller made private. A socket left there by a program
    // that ended is replaced; one that a program serves is refused.
    OperationResult Start(const std::filesystem::path& path);
    // Closes every connection and removes the socket.
    void Stop();

    // Bytes of answers and events that may wait for one client (before Start).
    void SetQueueLimit(std::size_t bytes) { queueLimit_ = bytes; }
    // The user whose programs may connect; by default this program's (before Start).
    void SetAllowedUser(unsigned uid) { allowedUser_ = uid; }

    const std::filesystem::path& SocketPath() const { return path_; }
    // Clients closed for not reading their answers and events.
    std::size_t DroppedClients() const { return dropped_; }

  private:
    class Session;
    struct Loop;

    void Accept();

    ControlService& service_;
    std::shared_ptr<Loop> loop_;
    std::thread thread_;
    PrivateFolder folder_;
    std::filesystem::path path_;
    std::size_t queueLimit_ = kDefaultQueueLimit;
    unsigned allowedUser_;
    std::atomic<std::size_t> dropped_{0};
};
