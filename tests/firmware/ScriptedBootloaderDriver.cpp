#include "tests/firmware/ScriptedBootloaderDriver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

using namespace ftd;

namespace {
constexpr std::uint8_t kAck = 0x79;
constexpr std::uint8_t kNack = 0x1F;

void CopyText(const char* text, char (&buffer)[FT_LIST_TEXT_SIZE]) {
    std::memset(buffer, 0, FT_LIST_TEXT_SIZE);
    std::strncpy(buffer, text, FT_LIST_TEXT_SIZE - 1);
}
}  // namespace

// The flash starts out holding some older firmware, so that a write the
// erase did not prepare is refused as on the real part.
ScriptedBootloaderDriver::ScriptedBootloaderDriver() : flash_(kFlashSize, 0x00) {}

FT_STATUS ScriptedBootloaderDriver::ListDeviceCount(std::uint32_t& count) {
    count = 1;
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::ListSerialNumber(std::uint32_t index,
                                                     char (&buffer)[FT_LIST_TEXT_SIZE]) {
    if (index != 0) return FT_DEVICE_NOT_FOUND;
    CopyText(kSerial, buffer);
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::ListDescription(std::uint32_t index,
                                                    char (&buffer)[FT_LIST_TEXT_SIZE]) {
    if (index != 0) return FT_DEVICE_NOT_FOUND;
    CopyText("FT230X Basic UART", buffer);
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::OpenBySerialNumber(const char* serial, FT_HANDLE& handle) {
    if (std::strcmp(serial, kSerial) != 0) return FT_DEVICE_NOT_FOUND;
    if (open_) return FT_DEVICE_NOT_OPENED;
    open_ = true;
    handle = kHandle;
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::Close(FT_HANDLE handle) {
    if (!open_ || handle != kHandle) return FT_INVALID_HANDLE;
    open_ = false;
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::Read(FT_HANDLE handle, void* buffer, std::uint32_t toRead,
                                         std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (!open_ || handle != kHandle) return FT_INVALID_HANDLE;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (bytesRead < toRead && !output_.empty()) {
        out[bytesRead++] = output_.front();
        output_.pop_front();
    }
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::Write(FT_HANDLE handle, const void* buffer,
                                          std::uint32_t toWrite, std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (!open_ || handle != kHandle) return FT_INVALID_HANDLE;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::size_t index = writes_.size();
    writes_.emplace_back(bytes, bytes + toWrite);
    if (failWrite_ && *failWrite_ == index) return FT_FAILED_TO_WRITE_DEVICE;
    for (std::uint32_t k = 0; k < toWrite; ++k) Feed(bytes[k]);
    bytesWritten = toWrite;
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::Purge(FT_HANDLE handle, std::uint32_t mask) {
    if (!open_ || handle != kHandle) return FT_INVALID_HANDLE;
    if (mask & FT_PURGE_RX) output_.clear();
    return FT_OK;
}

FT_STATUS ScriptedBootloaderDriver::GetQueueStatus(FT_HANDLE handle, std::uint32_t& rxBytes) {
    rxBytes = 0;
    if (!open_ || handle != kHandle) return FT_INVALID_HANDLE;
    rxBytes = static_cast<std::uint32_t>(output_.size());
    return FT_OK;
}

void ScriptedBootloaderDriver::WaitForData(FT_HANDLE, int timeoutMs) {
    if (!output_.empty()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 1)));
}

bool ScriptedBootloaderDriver::Respond(Step step, bool valid) {
    const int occurrence = counts_[step]++;
    steps_.push_back(step);
    writesAtLastStep_ = writes_.size();
    struct Answer answer;
    if (!valid) answer.kind = Answer::Nack;
    if (auto it = script_.find({step, occurrence}); it != script_.end()) answer = it->second;
    switch (answer.kind) {
        case Answer::Ack:
            output_.push_back(kAck);
            break;
        case Answer::Nack:
            output_.push_back(kNack);
            break;
        case Answer::Byte:
            output_.push_back(answer.byte);
            break;
        case Answer::Silent:
            break;
    }
    if (auto hook = hooks_.find({step, occurrence}); hook != hooks_.end()) hook->second();
    return answer.kind == Answer::Ack || answer.kind == Answer::Byte;
}

void ScriptedBootloaderDriver::Feed(std::uint8_t byte) {
    switch (state_) {
        case State::WaitSync:
            if (byte == 0x7F && Respond(Step::Sync, true)) state_ = State::Command;
            return;
        case State::Command:
            command_ = byte;
            state_ = State::Complement;
            return;
        case State::Complement: {
            const bool valid =
                byte == static_cast<std::uint8_t>(~command_) &&
                (command_ == 0x31 || command_ == 0x43 || command_ == 0x21 || command_ == 0x11);
            const Step step = command_ == 0x31   ? Step::WriteCommand
                              : command_ == 0x43 ? Step::EraseCommand
                              : command_ == 0x11 ? Step::ReadCommand
                                                 : Step::GoCommand;
            state_ = State::Command;
            if (!Respond(step, valid)) return;
            frame_.clear();
            state_ = command_ == 0x43 ? State::EraseCode : State::Address;
            return;
        }
        case State::Address: {
            frame_.push_back(byte);
            if (frame_.size() < 5) return;
            address_ = static_cast<std::uint32_t>(frame_[0] << 24 | frame_[1] << 16 |
                                                  frame_[2] << 8 | frame_[3]);
            const bool valid = (frame_[0] ^ frame_[1] ^ frame_[2] ^ frame_[3]) == frame_[4] &&
                               address_ >= kFlashBase && address_ < kFlashBase + kFlashSize;
            const bool go = command_ == 0x21;
            const bool read = command_ == 0x11;
            state_ = State::Command;
            if (!Respond(go     ? Step::GoAddress
                         : read ? Step::ReadAddress
                                : Step::WriteAddress,
                         valid))
                return;
            if (go) {
                started_ = address_;
                state_ = State::Running;
            } else if (read) {
                frame_.clear();
                state_ = State::ReadCount;
            } else {
                frame_.clear();
                state_ = State::Count;
            }
            return;
        }
        case State::Count:
            frame_.assign(1, byte);
            dataBytes_ = static_cast<std::size_t>(byte) + 1;
            state_ = State::Data;
            return;
        case State::Data: {
            frame_.push_back(byte);
            if (frame_.size() < dataBytes_ + 2) return;
            std::uint8_t checksum = 0;
            for (std::size_t k = 0; k + 1 < frame_.size(); ++k) checksum ^= frame_[k];
            const std::size_t offset = address_ - kFlashBase;
            const bool fits = offset + dataBytes_ <= kFlashSize;
            const bool erased =
                fits &&
                std::all_of(flash_.begin() + static_cast<std::ptrdiff_t>(offset),
                            flash_.begin() + static_cast<std::ptrdiff_t>(offset + dataBytes_),
                            [](std::uint8_t b) { return b == 0xFF; });
            state_ = State::Command;
            if (Respond(Step::WriteData, checksum == frame_.back() && erased))
                std::copy_n(frame_.begin() + 1, dataBytes_,
                            flash_.begin() + static_cast<std::ptrdiff_t>(offset));
            return;
        }
        case State::ReadCount: {
            frame_.push_back(byte);
            if (frame_.size() < 2) return;
            const std::size_t size = std::size_t{frame_[0]} + 1;
            const std::size_t offset = address_ - kFlashBase;
            const bool valid = frame_[1] == static_cast<std::uint8_t>(frame_[0] ^ 0xFF) &&
                               offset + size <= kFlashSize;
            state_ = State::Command;
            if (!Respond(Step::ReadCount, valid)) return;
            output_.insert(output_.end(), flash_.begin() + static_cast<std::ptrdiff_t>(offset),
                           flash_.begin() + static_cast<std::ptrdiff_t>(offset + size));
            return;
        }
        case State::EraseCode:
            frame_.assign(1, byte);
            state_ = State::EraseCheck;
            return;
        case State::EraseCheck:
            state_ = State::Command;
            // Only the global erase is modelled.
            if (Respond(Step::GlobalErase, frame_[0] == 0xFF && byte == 0x00))
                std::fill(flash_.begin(), flash_.end(), 0xFF);
            return;
        case State::Running:
            return;
    }
}
