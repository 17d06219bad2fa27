// The pedal microcontroller's ROM bootloader: identification, erase, write,
// read, Go, the refusals, and the injected faults.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/VirtualPedal.h"
#include "tests/sim/SimTestSupport.h"

using namespace simtest;
using sim::Bytes;

namespace {

constexpr int ACK = 0x79;
constexpr int NACK = 0x1F;
constexpr std::uint32_t kFlash = 0x08000000;

Bytes Address(std::uint32_t a) {
    Bytes frame = {static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
                   static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a)};
    frame.push_back(frame[0] ^ frame[1] ^ frame[2] ^ frame[3]);
    return frame;
}

// Count byte N - 1, the data, then the XOR of both.
Bytes DataFrame(const Bytes& data) {
    Bytes frame = {static_cast<std::uint8_t>(data.size() - 1)};
    frame.insert(frame.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum ^= b;
    frame.push_back(sum);
    return frame;
}

Bytes WriteMemory(std::uint32_t address, const Bytes& data) {
    return Cat(Cat(B({0x31, 0xCE}), Address(address)), DataFrame(data));
}

const Bytes kSync = B({0x7F});
const Bytes kGlobalErase = B({0x43, 0xBC, 0xFF, 0x00});

class Bootloader : public ::testing::Test {
public:
    std::int64_t now = 0;
    sim::VirtualPedal pedal{[this] { return now; }};

    void SetUp() override { pedal.EnterBootloader(); }

    // Every byte in a write of its own, as the editor sends them.
    Bytes Bytewise(const Bytes& bytes) {
        for (std::uint8_t b : bytes) pedal.Receive(&b, 1);
        return pedal.TakeAll();
    }
    // All at once, as a flasher sends its frames.
    Bytes Bulk(const Bytes& bytes) {
        pedal.Receive(bytes);
        return pedal.TakeAll();
    }
    Bytes FlashAt(std::uint32_t address, std::size_t size) const {
        auto from = pedal.Flash().begin() + (address - kFlash);
        return Bytes(from, from + static_cast<std::ptrdiff_t>(size));
    }
};

TEST_F(Bootloader, SyncAndIdentification) {
    EXPECT_EQ(Bytewise(B({0x02, 0x11})), Bytes{}) << "nothing counts before the sync byte";
    EXPECT_EQ(Bytewise(kSync), B({ACK}));
    EXPECT_EQ(Bytewise(B({0x02, 0xFD})), B({ACK, 0x01, 0x04, 0x10, ACK}));
    EXPECT_EQ(Bytewise(B({0x01, 0xFE})), B({ACK, 0x22, 0x00, 0x00, ACK}));
    // Get lists the page erase 0x43, not the extended erase 0x44.
    EXPECT_EQ(Bytewise(B({0x00, 0xFF})),
              B({ACK, 0x07, 0x22, 0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x43, ACK}));
    // Once synchronised, 0x7F is a command code like any other.
    EXPECT_EQ(Bytewise(kSync), Bytes{}) << "a second sync byte waits for its complement";
    EXPECT_EQ(Bytewise(kSync), B({NACK}));
    EXPECT_EQ(Bytewise(B({0x02, 0xFD})), B({ACK, 0x01, 0x04, 0x10, ACK}));
}

TEST_F(Bootloader, EraseWriteAndReadBackByteByByteOrInBulk) {
    const Bytes data = B({0xDE, 0xAD, 0x0D, 0x11, 0x13, 0x7F, 0xFF, 0x00});
    const Bytes read = Cat(Cat(B({0x11, 0xEE}), Address(kFlash + 0x100)), B({0x07, 0xF8}));
    for (auto exchange : {&Bootloader::Bytewise, &Bootloader::Bulk}) {
        pedal.EnterBootloader();
        EXPECT_EQ((this->*exchange)(kSync), B({ACK}));
        EXPECT_EQ((this->*exchange)(kGlobalErase), B({ACK, ACK}));
        EXPECT_EQ(FlashAt(kFlash, 4), B({0xFF, 0xFF, 0xFF, 0xFF}));
        EXPECT_EQ((this->*exchange)(WriteMemory(kFlash + 0x100, data)), B({ACK, ACK, ACK}));
        EXPECT_EQ(FlashAt(kFlash + 0x100, data.size()), data);
        EXPECT_EQ((this->*exchange)(read), Cat(B({ACK, ACK, ACK}), data));
    }
    EXPECT_EQ(pedal.BootloaderLog().back(), "read 08000100 8");
}

TEST_F(Bootloader, PageEraseClearsOnlyTheNamedPages) {
    Bulk(kSync);
    Bulk(kGlobalErase);
    Bulk(WriteMemory(kFlash, B({1, 2, 3, 4})));
    Bulk(WriteMemory(kFlash + 0x400, B({5, 6, 7, 8})));
    EXPECT_EQ(Bulk(B({0x43, 0xBC, 0x00, 0x01, 0x01})), B({ACK, ACK}));  // one page: page 1
    EXPECT_EQ(FlashAt(kFlash, 4), B({1, 2, 3, 4}));
    EXPECT_EQ(FlashAt(kFlash + 0x400, 4), B({0xFF, 0xFF, 0xFF, 0xFF}));
}

// Each exchange starts right after a sync and a global erase. The flash must
// be exactly as before whenever the bootloader refuses.
TEST_F(Bootloader, RefusesBadFramesAndLeavesTheFlashAlone) {
    const Bytes four = B({1, 2, 3, 4});
    Bytes badData = WriteMemory(kFlash, four);
    badData.back() ^= 0x01;
    Bytes badAddress = Cat(B({0x31, 0xCE}), Address(kFlash));
    badAddress.back() ^= 0x01;
    struct Case {
        const char* what;
        Bytes before;
        Bytes exchange;
        Bytes answer;
    };
    const Case cases[] = {
        {"command complement", {}, B({0x31, 0xCD}), B({NACK})},
        {"address checksum", {}, badAddress, B({ACK, NACK})},
        {"address past the flash", {}, Cat(B({0x31, 0xCE}), Address(0x08020000)), B({ACK, NACK})},
        {"data checksum", {}, badData, B({ACK, ACK, NACK})},
        {"write over unerased flash", WriteMemory(kFlash, four), WriteMemory(kFlash + 2, four),
         B({ACK, ACK, NACK})},
        {"write running past the flash",
         {},
         WriteMemory(0x0801FFFC, Bytes(8, 0)),
         B({ACK, ACK, NACK})},
        {"extended erase", {}, B({0x44, 0xBB}), B({NACK})},
        {"global erase checksum", WriteMemory(kFlash, four), B({0x43, 0xBC, 0xFF, 0x01}),
         B({ACK, NACK})},
        {"page erase checksum", WriteMemory(kFlash, four), B({0x43, 0xBC, 0x00, 0x00, 0x01}),
         B({ACK, NACK})},
        {"no such page", WriteMemory(kFlash, four), B({0x43, 0xBC, 0x00, 0x80, 0x80}),
         B({ACK, NACK})},
        {"read count complement",
         {},
         Cat(Cat(B({0x11, 0xEE}), Address(kFlash)), B({0x03, 0x00})),
         B({ACK, ACK, NACK})},
        {"go outside the flash", {}, Cat(B({0x21, 0xDE}), Address(0x20000000)), B({ACK, NACK})},
        {"unknown command", {}, B({0x63, 0x9C}), B({NACK})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pedal.EnterBootloader();
        Bulk(kSync);
        Bulk(kGlobalErase);
        if (!c.before.empty()) {
            ASSERT_EQ(Bulk(c.before), B({ACK, ACK, ACK}));
        }
        const Bytes flash = pedal.Flash();
        EXPECT_EQ(Bytewise(c.exchange), c.answer);
        EXPECT_TRUE(pedal.Flash() == flash);
        EXPECT_TRUE(pedal.InBootloader());
        // Back in the command loop: the next command is understood.
        EXPECT_EQ(Bulk(B({0x02, 0xFD})), B({ACK, 0x01, 0x04, 0x10, ACK}));
    }
}

// The editor's upgrade: every byte on its own, global erase, blocks from the
// start of flash, the version record, then Go. The firmware that starts
// reports the version from the record.
TEST_F(Bootloader, UpgradeThenGoReportsTheRecordedVersion) {
    Bytes image(456);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31);
    Bytes host = Cat(kSync, kGlobalErase);
    host = Cat(host, WriteMemory(kFlash, Bytes(image.begin(), image.begin() + 256)));
    host = Cat(host, WriteMemory(kFlash + 256, Bytes(image.begin() + 256, image.end())));
    host = Cat(host, WriteMemory(0x0801FC00, B({0, 0, 0, 0, 0, 0, 0, 4})));
    host = Cat(host, Cat(B({0x21, 0xDE}), Address(kFlash)));

    EXPECT_EQ(pedal.FirmwareVersion(), 3);
    EXPECT_EQ(Bytewise(host), Bytes(14, ACK));
    EXPECT_FALSE(pedal.InBootloader());
    EXPECT_EQ(FlashAt(kFlash, image.size()), image);
    EXPECT_EQ(pedal.FirmwareVersion(), 4);

    pedal.Receive(B({0x02, 0x00}));
    EXPECT_EQ(Lines(Text(pedal.TakeAll())).at(0), "4");
}

TEST(BootButton, ALoneSyncByteResetsIntoTheBootloaderOnlyWhileHeld) {
    sim::VirtualPedal pedal;
    pedal.Receive(B({0x7F}));
    EXPECT_FALSE(pedal.InBootloader());
    EXPECT_EQ(pedal.Pending(), 0u);
    EXPECT_EQ(pedal.Unrecognised(), std::vector<Bytes>{B({0x7F})});

    pedal.SetBootOnSync(true);
    pedal.Receive(B({0x7F}));
    EXPECT_TRUE(pedal.InBootloader());
    EXPECT_EQ(pedal.TakeAll(), B({ACK}));
}

TEST_F(Bootloader, GoWithoutARecordReportsErasedFlash) {
    Bulk(kSync);
    Bulk(kGlobalErase);
    EXPECT_EQ(Bulk(Cat(B({0x21, 0xDE}), Address(kFlash))), B({ACK, ACK}));
    EXPECT_EQ(pedal.FirmwareVersion(), 0xFF);
}

TEST_F(Bootloader, NackAtAChosenWriteMemoryBlock) {
    Bulk(kSync);
    Bulk(kGlobalErase);
    pedal.NackWriteMemory(1);  // the second block
    EXPECT_EQ(Bulk(WriteMemory(kFlash, B({1, 1, 1, 1}))), B({ACK, ACK, ACK}));
    EXPECT_EQ(Bulk(WriteMemory(kFlash + 4, B({2, 2, 2, 2}))), B({ACK, ACK, NACK}));
    EXPECT_EQ(Bulk(WriteMemory(kFlash + 8, B({3, 3, 3, 3}))), B({ACK, ACK, ACK}));
    EXPECT_EQ(FlashAt(kFlash, 12), B({1, 1, 1, 1, 0xFF, 0xFF, 0xFF, 0xFF, 3, 3, 3, 3}));
}

TEST_F(Bootloader, FaultsAtAChosenStep) {
    // Steps: 0 sync, 1 erase command, 2 global erase, 3.. the write.
    pedal.FailBootloaderStep(0, {sim::BootFault::WrongByte, 0x00});
    pedal.FailBootloaderStep(2, {sim::BootFault::NoAnswer});
    pedal.FailBootloaderStep(3, {sim::BootFault::Late, 0, 50});
    pedal.FailBootloaderStep(5, {sim::BootFault::Nack});
    pedal.Flash()[0] = 0x00;

    EXPECT_EQ(Bytewise(kSync), B({0x00}));
    EXPECT_EQ(Bytewise(kGlobalErase), B({ACK})) << "the erase is done but not answered";
    EXPECT_EQ(pedal.Flash()[0], 0xFF);
    EXPECT_EQ(Bytewise(WriteMemory(kFlash, B({9, 9, 9, 9}))), Bytes{});
    now += 50;
    EXPECT_EQ(pedal.TakeAll(), B({ACK, ACK, NACK})) << "late ACK first, order kept";
    EXPECT_EQ(pedal.Flash()[0], 0xFF) << "an injected NACK refuses the write";
    EXPECT_EQ(pedal.BootloaderSteps(), 6u);
}

TEST_F(Bootloader, UnplugAtAChosenStep) {
    bool told = false;
    pedal.OnUnplug([&] { told = true; });
    pedal.UnplugAtBootloaderStep(2);
    EXPECT_EQ(Bytewise(kGlobalErase), Bytes{}) << "not synchronised yet";
    EXPECT_EQ(Bytewise(B({0x7F, 0x43, 0xBC})), B({ACK, ACK}));
    EXPECT_FALSE(told);
    EXPECT_EQ(Bytewise(B({0xFF, 0x00})), Bytes{});
    EXPECT_TRUE(pedal.Unplugged());
    EXPECT_TRUE(told);
    EXPECT_EQ(Bytewise(B({0x02, 0xFD})), Bytes{});
}

Bytes ReadMemory(std::uint32_t address, std::size_t size) {
    const auto count = static_cast<std::uint8_t>(size - 1);
    return Cat(Cat(B({0x11, 0xEE}), Address(address)), B({count, static_cast<int>(count ^ 0xFF)}));
}

// The read-back covers the whole flash up to its last byte, the version
// record's page included; a read running past the end is refused.
TEST_F(Bootloader, ReadMemoryReachesTheLastPageAndNoFurther) {
    Bulk(kSync);
    Bulk(kGlobalErase);
    const Bytes record = B({0, 0, 0, 0, 0, 0, 0, 4});
    Bulk(WriteMemory(0x0801FC00, record));
    Bulk(WriteMemory(0x0801FFFC, B({1, 2, 3, 4})));
    EXPECT_EQ(Bytewise(ReadMemory(0x0801FC00, 8)), Cat(B({ACK, ACK, ACK}), record));
    Bytes end(256, 0xFF);
    std::copy_n(B({1, 2, 3, 4}).begin(), 4, end.end() - 4);
    EXPECT_EQ(Bytewise(ReadMemory(0x0801FF00, 256)), Cat(B({ACK, ACK, ACK}), end));
    EXPECT_EQ(Bytewise(ReadMemory(0x0801FF01, 256)), B({ACK, ACK, NACK}));
}

// Only reading back can find this fault: the write is acknowledged, one bit
// of one byte is wrong, and only the first write over that address spoils it.
TEST_F(Bootloader, CorruptedWriteIsAcknowledgedAndReadsBackWrong) {
    Bulk(kSync);
    Bulk(kGlobalErase);
    pedal.CorruptFlashWrite(kFlash + 0x105, 0x10);
    const Bytes data(256, 0x5A);
    EXPECT_EQ(Bytewise(WriteMemory(kFlash, data)), B({ACK, ACK, ACK})) << "another block";
    EXPECT_EQ(Bytewise(WriteMemory(kFlash + 0x100, data)), B({ACK, ACK, ACK}));
    Bytes spoilt = data;
    spoilt[5] = 0x4A;
    EXPECT_EQ(Bytewise(ReadMemory(kFlash + 0x100, 256)), Cat(B({ACK, ACK, ACK}), spoilt));
    EXPECT_EQ(FlashAt(kFlash, 256), data);
    EXPECT_EQ(pedal.BootloaderLog().back(), "read 08000100 256");

    Bulk(kGlobalErase);
    Bulk(WriteMemory(kFlash + 0x100, data));
    EXPECT_EQ(FlashAt(kFlash + 0x100, 256), data) << "used up by the write it spoilt";
}

// A byte after the ACK, and an answer handed over in pieces the way a USB
// bridge does it: the ACK and the data of a read, a piece every 30 ms.
TEST_F(Bootloader, TailAndSplitAnswers) {
    Bulk(kSync);
    Bulk(kGlobalErase);
    const Bytes data = B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    Bulk(WriteMemory(kFlash, data));
    // Steps: 0 sync, 1-2 erase, 3-5 the write, 6-8 a read, 9-11 another.
    pedal.FailBootloaderStep(6, {sim::BootFault::Tail, 0x00});
    pedal.FailBootloaderStep(11, {sim::BootFault::Split, 0, 30, 4});
    EXPECT_EQ(Bytewise(ReadMemory(kFlash, 10)), Cat(B({ACK, 0x00, ACK, ACK}), data));
    EXPECT_EQ(Bytewise(ReadMemory(kFlash, 10)), B({ACK, ACK, ACK}));
    now += 29;
    EXPECT_EQ(pedal.TakeAll(), Bytes{});
    now += 1;
    EXPECT_EQ(pedal.TakeAll(), B({1, 2, 3, 4}));
    now += 30;
    EXPECT_EQ(pedal.TakeAll(), B({5, 6, 7, 8}));
    now += 30;
    EXPECT_EQ(pedal.TakeAll(), B({9, 10}));
}

}  // namespace
