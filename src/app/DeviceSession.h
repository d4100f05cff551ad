#pragma once

#include <string>

#include "app/OperationResult.h"
#include "foundation/VlrDataTypes.h"

class LogFile;
class MicroController;
class Notifier;
class RememberedOutputs;
class SerialPortLister;

// Connecting to and disconnecting from the Zavik Driver as the operator does it, shared by every
// front end: port discovery first (a device it finds replaces the device model's port number,
// otherwise the number from the setup and settings files stays), then the connection on the
// model's port number (open and firmware query), then every stored intensity sent. A failed
// connect tells the operator through the notifier and changes nothing else.
class DeviceSession {
  public:
    // All references must outlive the session; a null log logs nothing.
    DeviceSession(MicroController& device, const SerialPortLister& lister, Notifier& notifier,
                  LogFile* log);

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Does nothing when already connected. -1 after the connection failed (the notifier has been
    // told) or the intensities could not be sent (logged; the port then stays open).
    VlrDataTypes::VlrRetVal Connect();
    // Closes the port without sending anything to the device; does nothing when not connected.
    void Disconnect();
    // Leaves the device quiet, then closes the port: a sequence this session started is stopped
    // and a pulse train it started ends; either way every LED is switched off. The port is
    // closed even when the device does not answer; the result says so.
    OperationResult StopAndDisconnect();
    bool IsConnected() const;
    // The stop that always works: every pulse train stopped, then the stop command and every
    // LED off, whether or not this session started anything. The first failure is the result.
    OperationResult StopAll();
    // After a transaction: when the line has hung up (the device was unplugged), the port is
    // closed and the reason logged at Error; true then. False while the line is fine.
    bool CloseIfHungUp();
    // "COM6 (/dev/ttyACM6)" and the firmware version while connected; empty otherwise.
    std::wstring PortName() const;
    std::wstring FirmwareVersion() const;
    // The open port is an emulator's registration, not a device.
    bool IsSimulated() const;
    // A front end that lives for one command keeps the LED outputs between its runs: recalled
    // after each connect, recorded before each disconnect. Null (the default): not kept.
    void RememberOutputs(const RememberedOutputs* outputs) { outputs_ = outputs; }

    // Why the last Connect failed where the connection box cannot say it: the port is held by
    // another program ("The port COM4 (/dev/ttyACM4) is in use by another program."). Empty
    // after a success and after any other failure.
    const std::wstring& LastError() const { return lastError_; }

  private:
    // Every train stopped; the stop command too when `always`, or when something was running.
    OperationResult Stop(bool always, const std::wstring& fallback);

    MicroController& device_;
    const SerialPortLister& lister_;
    Notifier& notifier_;
    LogFile* log_ = nullptr;
    std::wstring lastError_;
    const RememberedOutputs* outputs_ = nullptr;
};
