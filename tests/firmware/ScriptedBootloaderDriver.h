#pragma once
// A pedal that is nothing but its microcontroller's ROM bootloader, behind the
// driver seam, answering each step as the test scripts it (ACK by default).
// It follows the byte stream the way the bootloader does, keeps a flash image
// so a test can compare what was written, and records every write.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/FtDriver.h"
#include "sim/VirtualPedal.h"

class ScriptedBootloaderDriver : public ftd::FtDriver {
public:
    static constexpr const char* kSerial = "QMK3BOOT";
    static constexpr std::uint32_t kFlashBase = 0x08000000;
    static constexpr std::size_t kFlashSize = 128 * 1024;

    // The steps the bootloader answers, in the words of a test.
    enum class Step {
        Sync,
        EraseCommand,
        GlobalErase,
        WriteCommand,
        WriteAddress,
        WriteData,
        ReadCommand,
        ReadAddress,
        ReadCount,  // answered by ACK and the data
        GoCommand,
        GoAddress
    };
    struct Answer {
        enum Kind { Ack, Nack, Silent, Byte } kind = Ack;
        std::uint8_t byte = 0;
    };

    ScriptedBootloaderDriver();

    // The answer to the occurrence-th step of this kind (0-based); a NACK or
    // a silence also leaves the operation undone.
    void Script(Step step, int occurrence, Answer answer) { script_[{step, occurrence}] = answer; }
    void ClearScript() { script_.clear(); }
    // Runs after the occurrence-th step of this kind was answered.
    void OnStep(Step step, int occurrence, std::function<void()> action) {
        hooks_[{step, occurrence}] = std::move(action);
    }
    // Makes the index-th write (0-based, counted over the driver's life) fail.
    // The write of that index is refused (the device stays).
    void FailWrite(std::size_t index) { failWrite_ = index; }
    // Bytes that arrive as if the bootloader had sent them.
    void Queue(const sim::Bytes& bytes) {
        output_.insert(output_.end(), bytes.begin(), bytes.end());
    }

    // Every write, as it was made.
    const std::vector<sim::Bytes>& Writes() const { return writes_; }
    // Every answered (or silently dropped) step, in order.
    const std::vector<Step>& Steps() const { return steps_; }
    // The number of writes made when the last step was reached.
    std::size_t WritesAtLastStep() const { return writesAtLastStep_; }
    const sim::Bytes& Flash() const { return flash_; }
    // The address the host started, once a Go completed.
    std::optional<std::uint32_t> Started() const { return started_; }
    int Count(Step step) const { return counts_.count(step) ? counts_.at(step) : 0; }

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
    ftd::FT_STATUS SetBaudRate(ftd::FT_HANDLE, std::uint32_t) override { return ftd::FT_OK; }
    ftd::FT_STATUS SetDataCharacteristics(ftd::FT_HANDLE, std::uint8_t, std::uint8_t,
                                          std::uint8_t) override {
        return ftd::FT_OK;
    }
    void WaitForData(ftd::FT_HANDLE handle, int timeoutMs) override;

private:
    enum class State {
        WaitSync,
        Command,
        Complement,
        Address,
        Count,
        Data,
        ReadCount,
        EraseCode,
        EraseCheck,
        Running
    };
    void Feed(std::uint8_t byte);
    // Answers a step; returns whether the operation goes ahead.
    bool Respond(Step step, bool valid);

    static constexpr ftd::FT_HANDLE kHandle = 0x00B00710;
    bool open_ = false;
    State state_ = State::WaitSync;
    std::uint8_t command_ = 0;
    sim::Bytes frame_;
    std::uint32_t address_ = 0;
    std::size_t dataBytes_ = 0;
    sim::Bytes flash_;
    std::deque<std::uint8_t> output_;
    std::vector<sim::Bytes> writes_;
    std::vector<Step> steps_;
    std::size_t writesAtLastStep_ = 0;
    std::map<Step, int> counts_;
    std::map<std::pair<Step, int>, Answer> script_;
    std::map<std::pair<Step, int>, std::function<void()>> hooks_;
    std::optional<std::size_t> failWrite_;
    std::optional<std::uint32_t> started_;
};
