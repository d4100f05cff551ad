#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// The other end of the control socket, for a program that forwards to the one serving it (and
// for tests): requests go out as lines, answers and events come back as parsed lines. Blocking,
// one thread; a wait ends early when the abort descriptor becomes readable.
class ControlClient {
  public:
    using Json = nlohmann::ordered_json;
    using EventHandler = std::function<void(const Json& event)>;

    ControlClient() = default;
    ~ControlClient();
    ControlClient(const ControlClient&) = delete;
    ControlClient& operator=(const ControlClient&) = delete;

    // False when nobody serves the socket (or there is none).
    bool Connect(const std::filesystem::path& path);
    // -1: none.
    void SetAbortDescriptor(int descriptor) { abort_ = descriptor; }
    // Said in every request: the server names this client so in events and records.
    void SetClientName(std::string name) { name_ = std::move(name); }

    // Sends the request with the next id and returns its answer; events that arrive meanwhile
    // go to onEvent. Nothing when the connection ended or the wait was aborted.
    std::optional<Json> Call(Json request, const EventHandler& onEvent = nullptr);
    // The next line (an answer or an event); nothing on the end of the connection, a line that
    // is no JSON, an abort or after `limit`.
    std::optional<Json> ReadLine(std::optional<std::chrono::milliseconds> limit = std::nullopt);
    // One raw line as given (a final "\n" is added).
    bool SendLine(const std::string& line);

    // The wait ended because the abort descriptor became readable.
    bool Aborted() const { return aborted_; }
    // The server closed the connection (or sent a line that is no JSON).
    bool Ended() const { return ended_; }

  private:
    int socket_ = -1;
    int abort_ = -1;
    bool aborted_ = false;
    bool ended_ = false;
    std::string name_;
    std::string input_;
    long long nextId_ = 1;
};
