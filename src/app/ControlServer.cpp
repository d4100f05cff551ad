#include "app/ControlServer.h"

#include <sys/stat.h>

#include <array>
#include <asio.hpp>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>

#include "app/ControlProtocol.h"
#include "app/ControlService.h"
#include "app/platform/ControlSocket.h"

namespace {

using Protocol = asio::local::stream_protocol;

// The socket address holds at most this many bytes of path (sun_path, with its final zero).
constexpr std::size_t kMaxSocketPath = 107;

}  // namespace

struct ControlServer::Loop {
    asio::io_context io;
    Protocol::acceptor acceptor{io};
    asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);
    // Only touched on the loop's thread (and after it ended).
    std::set<std::shared_ptr<Session>> sessions;
};

// One connection: its request bytes, its answers in request order, its output queue and its
// subscription. Lives on the loop's thread; answers and events from other threads are posted.
class ControlServer::Session : public std::enable_shared_from_this<Session> {
  public:
    Session(ControlServer& server, Protocol::socket socket, ControlCause cause)
        : server_(server), loop_(*server.loop_), socket_(std::move(socket)), cause_(cause) {}

    void Begin() { Read(); }

    void Close() {
        if (subscription_ != 0) {
            server_.service_.Events().Remove(subscription_);
            subscription_ = 0;
        }
        asio::error_code ignored;
        socket_.close(ignored);
        loop_.sessions.erase(shared_from_this());
    }

  private:
    void Read() {
        socket_.async_read_some(
            asio::buffer(buffer_),
            [self = shared_from_this()](asio::error_code error, std::size_t size) {
                if (error) {
                    // A client gone mid-request: its answers, when they come, go nowhere.
                    self->Close();
                    return;
                }
                self->input_.append(self->buffer_.data(), size);
                if (self->TakeLines()) {
                    self->Read();
                }
            });
    }

    // False when the connection ends (a line over the limit).
    bool TakeLines() {
        std::size_t start = 0;
        for (std::size_t end; (end = input_.find('\n', start)) != std::string::npos;
             start = end + 1) {
            if (end - start > ControlProtocol::kMaxLineBytes) {
                return RefuseLongLine();
            }
            std::string_view line(input_.data() + start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            if (line.find_first_not_of(" \t") != std::string_view::npos) {
                Take(line);
            }
        }
        input_.erase(0, start);
        return input_.size() <= ControlProtocol::kMaxLineBytes || RefuseLongLine();
    }

    bool RefuseLongLine() {
        closeAfterWrite_ = true;
        const std::size_t slot = nextSlot_++;
        Fill(slot, ControlProtocol::ErrorLine(nullptr,
                                              "The request line is longer than " +
                                                  std::to_string(ControlProtocol::kMaxLineBytes) +
                                                  " bytes; the connection is closed."));
        return false;
    }

    void Take(std::string_view line) {
        const std::size_t slot = nextSlot_++;
        auto read = ControlProtocol::ReadRequest(line);
        if (auto* refusal = std::get_if<ControlProtocol::Refusal>(&read)) {
            Fill(slot, ControlProtocol::ErrorLine(refusal->id, refusal->error));
            return;
        }
        auto& request = std::get<ControlProtocol::Request>(read);
        if (request.op == ControlProtocol::Op::Subscribe) {
            Subscribe();
        }
        const ControlCause by =
            request.client == "ostra-cli" ? ControlCause::CommandLine(cause_.pid) : cause_;
        server_.service_.Handle(
            request, by,
            [weak = weak_from_this(), loop = server_.loop_, slot](const std::string& answer) {
                asio::post(loop->io, [weak, slot, answer] {
                    if (auto self = weak.lock()) {
                        self->Fill(slot, answer);
                    }
                });
            });
    }

    void Subscribe() {
        if (subscription_ != 0) {
            return;
        }
        subscription_ = server_.service_.Events().Add(
            [weak = weak_from_this(), loop = server_.loop_](const ControlEvent& event) {
                asio::post(loop->io, [weak, line = EventLine(event)] {
                    if (auto self = weak.lock()) {
                        self->Send(line);
                    }
                });
            });
    }

    // Answers leave in request order: a quick answer waits for the slow one before it.
    void Fill(std::size_t slot, const std::string& answer) {
        answers_[slot] = answer;
        for (auto first = answers_.begin(); first != answers_.end() && first->first == nextSent_;
             first = answers_.begin()) {
            Send(first->second);
            answers_.erase(first);
            ++nextSent_;
        }
    }

    void Send(const std::string& line) {
        if (!socket_.is_open()) {
            return;
        }
        if (queuedBytes_ + line.size() > server_.queueLimit_) {
            // It stopped reading: nobody waits for it.
            ++server_.dropped_;
            Close();
            return;
        }
        queuedBytes_ += line.size();
        output_.push_back(line);
        if (output_.size() == 1) {
            Write();
        }
    }

    void Write() {
        asio::async_write(socket_, asio::buffer(output_.front()),
                          [self = shared_from_this()](asio::error_code error, std::size_t) {
                              if (error) {
                                  self->Close();
                                  return;
                              }
                              self->queuedBytes_ -= self->output_.front().size();
                              self->output_.pop_front();
                              if (!self->output_.empty()) {
                                  self->Write();
                              } else if (self->closeAfterWrite_) {
                                  self->Close();
                              }
                          });
    }

    ControlServer& server_;
    // The loop owns the session's pending handlers, so the session must not own the loop.
    Loop& loop_;
    Protocol::socket socket_;
    const ControlCause cause_;
    std::array<char, 4096> buffer_{};
    std::string input_;
    std::size_t nextSlot_ = 0;
    std::size_t nextSent_ = 0;
    std::map<std::size_t, std::string> answers_;
    std::deque<std::string> output_;
    std::size_t queuedBytes_ = 0;
    bool closeAfterWrite_ = false;
    int subscription_ = 0;
};

ControlServer::ControlServer(ControlService& service)
    : service_(service), allowedUser_(ControlSocket::CurrentUser()) {}

ControlServer::~ControlServer() {
    Stop();
}

OperationResult ControlServer::Start() {
    std::string problem;
    if (!ControlSocket::OpenFolder(folder_, problem)) {
        return OperationResult::Failure(L"The control socket's folder cannot be used: " +
                                        std::wstring(problem.begin(), problem.end()));
    }
    return Start(folder_.Path() / ControlSocket::kName);
}

OperationResult ControlServer::Start(const std::filesystem::path& path) {
    const std::wstring shown = path.wstring();
    if (path.native().size() > kMaxSocketPath) {
        return OperationResult::Failure(L"The control socket's path (" + shown +
                                        L") is too long for a socket.");
    }
    auto loop = std::make_shared<Loop>();
    asio::error_code error;
    Protocol::socket probe(loop->io);
    const std::filesystem::file_status status = std::filesystem::symlink_status(path);
    if (std::filesystem::exists(status) && !std::filesystem::is_socket(status)) {
        return OperationResult::Failure(L"The control socket's place (" + shown +
                                        L") holds something else.");
    }
    if (std::filesystem::exists(status)) {
        probe.connect(Protocol::endpoint(path.native()), error);
        if (!error) {
            return OperationResult::Failure(L"Another Ostra program serves the control socket (" +
                                            shown + L").");
        }
        std::filesystem::remove(path, error);
    }
    loop->acceptor.open(Protocol(), error);
    if (!error) {
        loop->acceptor.bind(Protocol::endpoint(path.native()), error);
    }
    if (!error) {
        chmod(path.c_str(), S_IRUSR | S_IWUSR);
        loop->acceptor.listen(asio::socket_base::max_listen_connections, error);
    }
    if (error) {
        const std::string reason = error.message();
        return OperationResult::Failure(L"The control socket (" + shown + L") cannot be served: " +
                                        std::wstring(reason.begin(), reason.end()) + L".");
    }
    loop_ = std::move(loop);
    path_ = path;
    Accept();
    thread_ = std::thread([loop = loop_] { loop->io.run(); });
    return OperationResult::Success();
}

void ControlServer::Accept() {
    loop_->acceptor.async_accept([this](asio::error_code error, Protocol::socket socket) {
        if (error == asio::error::operation_aborted || !loop_->acceptor.is_open()) {
            return;
        }
        if (!error) {
            const std::optional<int> pid =
                ControlSocket::PeerProcess(socket.native_handle(), allowedUser_);
            if (pid) {
                auto session =
                    std::make_shared<Session>(*this, std::move(socket), ControlCause::Script(*pid));
                loop_->sessions.insert(session);
                session->Begin();
            }
            // Another user's connection ends here, unanswered.
        }
        Accept();
    });
}

void ControlServer::Stop() {
    if (!loop_) {
        return;
    }
    asio::post(loop_->io, [loop = loop_] {
        asio::error_code ignored;
        loop->acceptor.close(ignored);
        for (const auto& session : std::set(loop->sessions)) {
            session->Close();
        }
        loop->work.reset();
        loop->io.stop();
    });
    if (thread_.joinable()) {
        thread_.join();
    }
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    loop_.reset();
}
