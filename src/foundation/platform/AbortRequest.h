#pragma once

// A request, raised from any thread, that a wait on the device gives up: its descriptor turns
// readable and stays so, for a poll() beside the line (SerialPort's abort descriptor). Once
// raised it holds until lowered; a window raises it only when it closes, and lowers it when the
// close waited for a device that answered and the close's own stop is to follow.
class AbortRequest {
  public:
    AbortRequest();
    ~AbortRequest();
    AbortRequest(const AbortRequest&) = delete;
    AbortRequest& operator=(const AbortRequest&) = delete;

    void Raise();
    void Lower();
    // -1 when the system could not make one; waits then keep their own time-outs.
    int Descriptor() const { return readEnd_; }

  private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
};
