#pragma once
// The in-process backend: virtual pedals behind the same calls as the real
// driver. Tests add devices, reach their pedals and pull the plug; the editor
// uses it for --simulated-pedal.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/FtDriver.h"
#include "sim/VirtualPedal.h"

namespace sim {

class VirtualPedalDriver : public ftd::FtDriver {
public:
    static constexpr const char* kBridgeDescription = "FT230X Basic UART";

    VirtualPedalDriver();
    ~VirtualPedalDriver() override;

    // Attaches a device; its pedal lives as long as the driver.
    VirtualPedal& AddDevice(const std::string& serialNumber,
                            const std::string& description = kBridgeDescription);
    VirtualPedal& Pedal(std::size_t index = 0);
    std::size_t AttachedCount() const;
    // Pulls the plug: the device leaves the listing and every call on a handle
    // opened to it fails with an I/O error from now on. A pedal that unplugs
    // itself (an injected fault) is treated the same way.
    void Unplug(std::size_t index = 0);
    // Plugs an unplugged device in again: it is listed and can be opened.
    void PlugIn(std::size_t index = 0);
    // Makes the next call of the named driver operation ("Write", "Read",
    // "GetQueueStatus", "Purge", "Open", "Close", "List") fail with status.
    void FailNext(const std::string& operation, ftd::FT_STATUS status);
    // Drops the failures FailNext armed that no call has used yet, so one
    // meant for a step that wrote nothing does not hit a later one.
    void ForgetFailures() { failNext_.clear(); }
    // Whether a handle to the device at index is open.
    bool IsOpen(std::size_t index = 0) const;
    // Every call made, by operation name, in order (for tests that check the
    // editor asked the driver the right thing).
    const std::vector<std::string>& Calls() const { return calls_; }
    // The serial number the last open asked for.
    const std::string& LastOpenedSerial() const { return lastOpenedSerial_; }
    std::uint32_t BaudRate() const { return baudRate_; }
    std::uint8_t WordLength() const { return wordLength_; }
    std::uint8_t StopBits() const { return stopBits_; }
    std::uint8_t Parity() const { return parity_; }

    ftd::FT_STATUS ListDeviceCount(std::uint32_t& count) override;
    ftd::FT_STATUS ListSerialNumber(std::uint32_t index,
                                    char (&buffer)[ftd::FT_LIST_TEXT_SIZE]) override;
    ftd::FT_STATUS ListDescription(std::uint32_t index,
                                   char (&buffer)[ftd::FT_LIST_TEXT_SIZE]) override;
    ftd::FT_STATUS OpenBySerialNumber(const char* serial, ftd::FT_HANDLE& handle) override;
    ftd::FT_STATUS Close(ftd::FT_HANDLE handle) override;
    ftd::FT_STATUS Read(ftd::FT_HANDLE handle, void* buffer, std::uint32_t toRead,
                        std::uint32_t& bytesRead) override;
    ftd::FT_STATUS Write(ftd::FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override;
    ftd::FT_STATUS Purge(ftd::FT_HANDLE handle, std::uint32_t mask) override;
    ftd::FT_STATUS GetQueueStatus(ftd::FT_HANDLE handle, std::uint32_t& rxBytes) override;
    ftd::FT_STATUS SetBaudRate(ftd::FT_HANDLE handle, std::uint32_t baudRate) override;
    ftd::FT_STATUS SetDataCharacteristics(ftd::FT_HANDLE handle, std::uint8_t wordLength,
                                          std::uint8_t stopBits, std::uint8_t parity) override;
    void WaitForData(ftd::FT_HANDLE handle, int timeoutMs) override;
    int WatchForData(ftd::FT_HANDLE handle, std::function<void()> wake) override;

private:
    struct Device {
        std::string serialNumber;
        std::string description;
        std::unique_ptr<VirtualPedal> pedal;
        bool unplugged = false;
    };
    static bool Gone(const Device& device) { return device.unplugged || device.pedal->Unplugged(); }
    // The device behind an open handle, or the status to return.
    ftd::FT_STATUS Lookup(ftd::FT_HANDLE handle, Device*& device);
    bool Injected(const std::string& operation, ftd::FT_STATUS& status);
    std::vector<Device*> Attached();

    std::vector<std::unique_ptr<Device>> devices_;
    std::map<ftd::FT_HANDLE, Device*> open_;
    std::map<std::string, ftd::FT_STATUS> failNext_;
    std::vector<std::string> calls_;
    std::string lastOpenedSerial_;
    ftd::FT_HANDLE nextHandle_ = 0x00A70000;
    std::uint32_t baudRate_ = 0;
    std::uint8_t wordLength_ = 0, stopBits_ = 0, parity_ = 0;
};

}  // namespace sim
