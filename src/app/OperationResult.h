#pragma once

#include <string>
#include <utility>

// What an operation of the application layer answers: success, or the reason it failed, so a
// front end can show why without listening to the log (which still gets every message).
class OperationResult {
  public:
    static OperationResult Success() { return OperationResult(); }
    static OperationResult Failure(std::wstring message) {
        OperationResult result;
        result.ok_ = false;
        result.message_ = message.empty() ? L"The operation failed." : std::move(message);
        return result;
    }

    bool Ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // Empty on success.
    const std::wstring& Message() const { return message_; }

  private:
    OperationResult() = default;

    bool ok_ = true;
    std::wstring message_;
};
