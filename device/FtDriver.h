#pragma once
// The driver seam: every exchange with the pedal's USB-serial bridge goes through
// one of these. The calls mirror the bridge vendor's D2XX interface (list, open
// by serial number, read, write, purge, queue status, link settings) and return
// its status codes, so the wrappers above them behave the same whichever
// backend is installed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace ftd {

using FT_STATUS = std::uint32_t;
using FT_HANDLE = std::uintptr_t;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_OTHER_ERROR = 17,
};

// Flags of FT_ListDevices and FT_OpenEx, kept for the log and for the tests.
constexpr std::uint32_t FT_LIST_NUMBER_ONLY = 0x80000000u;
constexpr std::uint32_t FT_LIST_BY_INDEX = 0x40000000u;
constexpr std::uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr std::uint32_t FT_OPEN_BY_DESCRIPTION = 2;
constexpr std::uint32_t FT_PURGE_RX = 1;
constexpr std::uint32_t FT_PURGE_TX = 2;

// Size of the text buffers the listing calls fill (zero-terminated unless the
// text fills the buffer). The bridge vendor's driver fills at most 64 bytes;
// the serial-port backend lists a --port device path as its serial number, and
// a path may be as long as the system allows (PATH_MAX).
constexpr std::size_t FT_LIST_TEXT_SIZE = 4096;

class FtDriver {
public:
    virtual ~FtDriver() = default;

    // FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY)
    virtual FT_STATUS ListDeviceCount(std::uint32_t& count) = 0;
    // FT_ListDevices(index, buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER): the
    // buffer receives a zero-terminated text; a text that fills the buffer may
    // come without its terminator.
    virtual FT_STATUS ListSerialNumber(std::uint32_t index, char (&buffer)[FT_LIST_TEXT_SIZE]) = 0;
    // FT_ListDevices(index, buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION)
    virtual FT_STATUS ListDescription(std::uint32_t index, char (&buffer)[FT_LIST_TEXT_SIZE]) = 0;
    // FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle)
    virtual FT_STATUS OpenBySerialNumber(const char* serial, FT_HANDLE& handle) = 0;
    virtual FT_STATUS Close(FT_HANDLE handle) = 0;
    virtual FT_STATUS Read(FT_HANDLE handle, void* buffer, std::uint32_t toRead,
                           std::uint32_t& bytesRead) = 0;
    virtual FT_STATUS Write(FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                            std::uint32_t& bytesWritten) = 0;
    virtual FT_STATUS Purge(FT_HANDLE handle, std::uint32_t mask) = 0;
    virtual FT_STATUS GetQueueStatus(FT_HANDLE handle, std::uint32_t& rxBytes) = 0;
    virtual FT_STATUS SetBaudRate(FT_HANDLE handle, std::uint32_t baudRate) = 0;
    virtual FT_STATUS SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                             std::uint8_t stopBits, std::uint8_t parity) = 0;

    // Not part of D2XX: lets a wait for the pedal sleep until bytes may have
    // arrived instead of spinning. Returns after at most timeoutMs; a backend
    // that cannot wake early simply sleeps.
    virtual void WaitForData(FT_HANDLE handle, int timeoutMs) = 0;

    // Not part of D2XX either: lets a wait sleep in the event loop. The backend
    // calls wake (from the event loop) when bytes may have arrived or the
    // device may have gone, and returns how long the caller may sleep at most
    // before it has to look again by itself (-1: the wake-ups cover
    // everything). The default has no wake-ups and asks for a look every
    // millisecond.
    virtual int WatchForData(FT_HANDLE handle, std::function<void()> wake) {
        (void)handle;
        (void)wake;
        return 1;
    }
    virtual void StopWatching(FT_HANDLE handle) { (void)handle; }
};

// The backend every wrapper uses. The editor installs the serial-port backend at
// start (or the virtual pedal with --simulated-pedal); tests install their own.
FtDriver& Driver();
void InstallDriver(std::unique_ptr<FtDriver> driver);
// The installed backend if it is of type T, otherwise null.
template <class T>
T* InstalledDriverAs() {
    return dynamic_cast<T*>(&Driver());
}

}  // namespace ftd
