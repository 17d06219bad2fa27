#include "sim/VirtualPedalDriver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

using namespace ftd;

namespace sim {
namespace {
void CopyText(const std::string& text, char (&buffer)[FT_LIST_TEXT_SIZE]) {
    std::memset(buffer, 0, FT_LIST_TEXT_SIZE);
    std::memcpy(buffer, text.data(), std::min(text.size(), FT_LIST_TEXT_SIZE));
}
}  // namespace

VirtualPedalDriver::VirtualPedalDriver() = default;
VirtualPedalDriver::~VirtualPedalDriver() = default;

VirtualPedal& VirtualPedalDriver::AddDevice(const std::string& serialNumber,
                                            const std::string& description) {
    auto device = std::make_unique<Device>();
    device->serialNumber = serialNumber;
    device->description = description;
    device->pedal = std::make_unique<VirtualPedal>();
    devices_.push_back(std::move(device));
    return *devices_.back()->pedal;
}

VirtualPedal& VirtualPedalDriver::Pedal(std::size_t index) {
    return *devices_.at(index)->pedal;
}

std::size_t VirtualPedalDriver::AttachedCount() const {
    return static_cast<std::size_t>(
        std::count_if(devices_.begin(), devices_.end(), [](const auto& d) { return !Gone(*d); }));
}

void VirtualPedalDriver::Unplug(std::size_t index) {
    Device& device = *devices_.at(index);
    device.unplugged = true;
    device.pedal->PullPlug();
}

void VirtualPedalDriver::PlugIn(std::size_t index) {
    Device& device = *devices_.at(index);
    device.unplugged = false;
    device.pedal->PlugIn();
}

void VirtualPedalDriver::FailNext(const std::string& operation, FT_STATUS status) {
    failNext_[operation] = status;
}

bool VirtualPedalDriver::IsOpen(std::size_t index) const {
    const Device* device = devices_.at(index).get();
    return std::any_of(open_.begin(), open_.end(),
                       [&](const auto& entry) { return entry.second == device; });
}

bool VirtualPedalDriver::Injected(const std::string& operation, FT_STATUS& status) {
    calls_.push_back(operation);
    auto it = failNext_.find(operation);
    if (it == failNext_.end()) return false;
    status = it->second;
    failNext_.erase(it);
    return true;
}

std::vector<VirtualPedalDriver::Device*> VirtualPedalDriver::Attached() {
    std::vector<Device*> attached;
    for (auto& device : devices_)
        if (!Gone(*device)) attached.push_back(device.get());
    return attached;
}

FT_STATUS VirtualPedalDriver::Lookup(FT_HANDLE handle, Device*& device) {
    auto it = open_.find(handle);
    if (it == open_.end()) return FT_INVALID_HANDLE;
    device = it->second;
    return Gone(*device) ? FT_IO_ERROR : FT_OK;
}

FT_STATUS VirtualPedalDriver::ListDeviceCount(std::uint32_t& count) {
    FT_STATUS status;
    if (Injected("List", status)) return status;
    count = static_cast<std::uint32_t>(Attached().size());
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::ListSerialNumber(std::uint32_t index,
                                               char (&buffer)[FT_LIST_TEXT_SIZE]) {
    FT_STATUS status;
    if (Injected("List", status)) return status;
    auto attached = Attached();
    if (index >= attached.size()) return FT_DEVICE_NOT_FOUND;
    CopyText(attached[index]->serialNumber, buffer);
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::ListDescription(std::uint32_t index,
                                              char (&buffer)[FT_LIST_TEXT_SIZE]) {
    FT_STATUS status;
    if (Injected("List", status)) return status;
    auto attached = Attached();
    if (index >= attached.size()) return FT_DEVICE_NOT_FOUND;
    CopyText(attached[index]->description, buffer);
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::OpenBySerialNumber(const char* serial, FT_HANDLE& handle) {
    lastOpenedSerial_ = serial;
    FT_STATUS status;
    if (Injected("Open", status)) return status;
    for (Device* device : Attached()) {
        if (device->serialNumber != serial) continue;
        for (const auto& entry : open_)
            if (entry.second == device) return FT_DEVICE_NOT_OPENED;  // in use
        handle = nextHandle_;
        nextHandle_ += 0x100;
        open_[handle] = device;
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS VirtualPedalDriver::Close(FT_HANDLE handle) {
    FT_STATUS status;
    if (Injected("Close", status)) return status;
    auto it = open_.find(handle);
    if (it == open_.end()) return FT_INVALID_HANDLE;
    open_.erase(it);
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::Read(FT_HANDLE handle, void* buffer, std::uint32_t toRead,
                                   std::uint32_t& bytesRead) {
    bytesRead = 0;
    FT_STATUS status;
    if (Injected("Read", status)) return status;
    Device* device = nullptr;
    if ((status = Lookup(handle, device)) != FT_OK) return status;
    bytesRead =
        static_cast<std::uint32_t>(device->pedal->Take(static_cast<std::uint8_t*>(buffer), toRead));
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::Write(FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                                    std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    FT_STATUS status;
    if (Injected("Write", status)) return status;
    Device* device = nullptr;
    if ((status = Lookup(handle, device)) != FT_OK) return status;
    device->pedal->Receive(static_cast<const std::uint8_t*>(buffer), toWrite);
    bytesWritten = toWrite;
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::Purge(FT_HANDLE handle, std::uint32_t mask) {
    FT_STATUS status;
    if (Injected("Purge", status)) return status;
    Device* device = nullptr;
    if ((status = Lookup(handle, device)) != FT_OK) return status;
    if (mask & FT_PURGE_RX) device->pedal->DropPending();
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::GetQueueStatus(FT_HANDLE handle, std::uint32_t& rxBytes) {
    rxBytes = 0;
    FT_STATUS status;
    if (Injected("GetQueueStatus", status)) return status;
    Device* device = nullptr;
    if ((status = Lookup(handle, device)) != FT_OK) return status;
    rxBytes = static_cast<std::uint32_t>(device->pedal->Pending());
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::SetBaudRate(FT_HANDLE handle, std::uint32_t baudRate) {
    FT_STATUS status;
    if (Injected("SetBaudRate", status)) return status;
    Device* device = nullptr;
    if ((status = Lookup(handle, device)) != FT_OK) return status;
    baudRate_ = baudRate;
    return FT_OK;
}

FT_STATUS VirtualPedalDriver::SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                     std::uint8_t stopBits, std::uint8_t parity) {
    FT_STATUS status;
    if (Injected("SetDataCharacteristics", status)) return status;
    Device* device = nullptr;
    if ((status = Lookup(handle, device)) != FT_OK) return status;
    wordLength_ = wordLength;
    stopBits_ = stopBits;
    parity_ = parity;
    return FT_OK;
}

void VirtualPedalDriver::WaitForData(FT_HANDLE handle, int timeoutMs) {
    Device* device = nullptr;
    if (Lookup(handle, device) == FT_OK && device->pedal->Pending() > 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 1)));
}

int VirtualPedalDriver::WatchForData(FT_HANDLE handle, std::function<void()> wake) {
    (void)wake;
    // Bytes become readable by the clock, so the wait sleeps until the next
    // ones are due; with nothing on its way it looks again now and then for
    // an unplug or bytes a test queued by hand.
    constexpr int kIdleLookMs = 100;
    Device* device = nullptr;
    if (Lookup(handle, device) != FT_OK) return 0;
    const std::int64_t due = device->pedal->MsUntilNextByte();
    if (due < 0) return kIdleLookMs;
    return static_cast<int>(std::min<std::int64_t>(due, kIdleLookMs));
}

}  // namespace sim
