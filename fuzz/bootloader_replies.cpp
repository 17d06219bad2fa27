// The bootloader's answers during a whole firmware upgrade (erase, two
// blocks, the version record, Go). Each input byte scripts one answer:
//   00-BF  ACK, followed by (byte & 3) bytes of noise (noise ends the upgrade)
//   C0-DF  NACK
//   E0-FD  the next input byte, whatever it is
//   FE     the link fails while the editor waits (the queue query errs)
//   FF     the next byte the editor sends cannot be written
// Once the input is used up, every answer is an ACK.
#include <cstring>
#include <deque>

#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "firmware/Bootloader.h"
#include "fuzz/FuzzSupport.h"

namespace {

class ScriptedAnswers : public ftd::FtDriver {
public:
    void Start(const std::uint8_t* data, std::size_t size) {
        script_.assign(data, data + size);
        rx_.clear();
        writesSinceAnswer_ = 0;
        failNextWrite_ = false;
        refused = false;
        wroteAfterRefusal = false;
    }
    bool refused = false;            // an answer other than ACK was given
    bool wroteAfterRefusal = false;  // and the editor sent something after it

    ftd::FT_STATUS ListDeviceCount(std::uint32_t& count) override {
        count = 1;
        return ftd::FT_OK;
    }
    ftd::FT_STATUS ListSerialNumber(std::uint32_t,
                                    char (&buffer)[ftd::FT_LIST_TEXT_SIZE]) override {
        std::strcpy(buffer, "QMK3BOOT");
        return ftd::FT_OK;
    }
    ftd::FT_STATUS ListDescription(std::uint32_t, char (&buffer)[ftd::FT_LIST_TEXT_SIZE]) override {
        std::strcpy(buffer, "FT230X Basic UART");
        return ftd::FT_OK;
    }
    ftd::FT_STATUS OpenBySerialNumber(const char*, ftd::FT_HANDLE& handle) override {
        handle = 1;
        return ftd::FT_OK;
    }
    ftd::FT_STATUS Close(ftd::FT_HANDLE) override { return ftd::FT_OK; }
    ftd::FT_STATUS Read(ftd::FT_HANDLE, void* buffer, std::uint32_t toRead,
                        std::uint32_t& bytesRead) override {
        bytesRead = 0;
        auto* out = static_cast<std::uint8_t*>(buffer);
        while (bytesRead < toRead && !rx_.empty()) {
            out[bytesRead++] = rx_.front();
            rx_.pop_front();
        }
        return ftd::FT_OK;
    }
    ftd::FT_STATUS Write(ftd::FT_HANDLE, const void*, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override {
        if (refused) wroteAfterRefusal = true;
        bytesWritten = 0;
        if (failNextWrite_) {
            failNextWrite_ = false;
            refused = true;
            return ftd::FT_IO_ERROR;
        }
        ++writesSinceAnswer_;
        bytesWritten = toWrite;
        return ftd::FT_OK;
    }
    ftd::FT_STATUS Purge(ftd::FT_HANDLE, std::uint32_t mask) override {
        if (mask & ftd::FT_PURGE_RX) rx_.clear();
        return ftd::FT_OK;
    }
    ftd::FT_STATUS GetQueueStatus(ftd::FT_HANDLE, std::uint32_t& rxBytes) override {
        if (rx_.empty() && writesSinceAnswer_ > 0) {
            writesSinceAnswer_ = 0;
            if (!Answer()) {
                rxBytes = 0;
                return ftd::FT_IO_ERROR;
            }
        }
        rxBytes = static_cast<std::uint32_t>(rx_.size());
        return ftd::FT_OK;
    }
    ftd::FT_STATUS SetBaudRate(ftd::FT_HANDLE, std::uint32_t) override { return ftd::FT_OK; }
    ftd::FT_STATUS SetDataCharacteristics(ftd::FT_HANDLE, std::uint8_t, std::uint8_t,
                                          std::uint8_t) override {
        return ftd::FT_OK;
    }
    void WaitForData(ftd::FT_HANDLE, int) override {}

private:
    // Queues the next scripted answer; false when the link fails instead.
    bool Answer() {
        const std::uint8_t code = Next(0x00);
        if (code < 0xC0) {
            rx_.push_back(kBootloaderAck);
            for (int i = 0; i < (code & 3); ++i) rx_.push_back(code);
            // Bytes after the ACK are not the bootloader's answer.
            if (code & 3) refused = true;
        } else if (code < 0xE0) {
            rx_.push_back(kBootloaderNack);
        } else if (code < 0xFE) {
            rx_.push_back(Next(kBootloaderAck));
        } else if (code == 0xFE) {
            refused = true;
            return false;
        } else {
            rx_.push_back(kBootloaderAck);
            failNextWrite_ = true;
        }
        if (rx_.front() != kBootloaderAck) refused = true;
        return true;
    }
    std::uint8_t Next(std::uint8_t otherwise) {
        if (script_.empty()) return otherwise;
        const std::uint8_t byte = script_.front();
        script_.pop_front();
        return byte;
    }

    std::deque<std::uint8_t> script_;
    std::deque<std::uint8_t> rx_;
    int writesSinceAnswer_ = 0;
    bool failNextWrite_ = false;
};

ScriptedAnswers* g_driver = nullptr;

void Start() {
    if (g_driver) return;
    auto owned = std::make_unique<ScriptedAnswers>();
    g_driver = owned.get();
    ftd::InstallDriver(std::move(owned));
    if (PedalLink::Instance().Open(QStringLiteral("QMK3BOOT")) != ftd::FT_OK)
        fuzz::Fail("opening the scripted bootloader", __FILE__, __LINE__);
    FirmwareUpgradeMode = true;
    // A 300-byte image: one full block and one partial one.
    QString image;
    for (int k = 0; k < 300; ++k) image += Hex2(static_cast<std::uint32_t>(k * 7));
    FirmwareHexText = image;
    FirmwareSize = 300;
    SplitFirmwareImage();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartPlatform();
    Start();
    fuzz::FreshDialogs();
    // A failed link (FE, FF) closed the link in the input before: connect again.
    if (!PedalLink::Instance().IsOpen() &&
        PedalLink::Instance().Open(QStringLiteral("QMK3BOOT")) != ftd::FT_OK)
        fuzz::Fail("opening the scripted bootloader again", __FILE__, __LINE__);
    g_driver->Start(data, size);
    bool completed = false;
    try {
        SendEraseCommand();
        WriteFirmwareBlocks({});
        WriteVersionRecord(4);
        SendGoCommand();
        completed = true;
    } catch (const BootloaderFailure& failure) {
        FUZZ_CHECK(!failure.message().isEmpty());
    }
    // The upgrade goes through exactly when every answer was an ACK, and
    // after any other answer nothing more is sent.
    FUZZ_CHECK(completed == !g_driver->refused);
    FUZZ_CHECK(!g_driver->wroteAfterRefusal);
    return 0;
}
