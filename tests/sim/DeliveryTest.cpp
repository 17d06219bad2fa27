// How the pedal's bytes reach the host: pieces of a split reply, late bytes,
// pacing at the wire rate, purges, and a pedal that drops off the bus.
#include <gtest/gtest.h>

#include "sim/VirtualPedal.h"
#include "sim/VirtualPedalDriver.h"
#include "tests/sim/SimTestSupport.h"

using namespace simtest;
using sim::Bytes;

namespace {

class Delivery : public ::testing::Test {
protected:
    std::int64_t now = 5000;
    sim::VirtualPedal pedal{[this] { return now; }};

    std::string Read(std::size_t max) {
        Bytes bytes(max);
        bytes.resize(pedal.Take(bytes.data(), max));
        return Text(bytes);
    }
    std::string WholeReport() {
        sim::VirtualPedal plain;
        plain.Receive(B({0x02, 0x00}));
        return Text(plain.TakeAll());
    }
};

TEST_F(Delivery, SplitReplyShowsTheNextPieceOnlyAfterTheFirstWasRead) {
    pedal.SplitNextReplyAfter(10);
    pedal.Receive(B({0x02, 0x00}));
    const std::string whole = WholeReport();

    EXPECT_EQ(pedal.Pending(), 10u);
    EXPECT_EQ(pedal.Pending(), 10u) << "asking does not read";
    EXPECT_EQ(Read(4), whole.substr(0, 4));
    EXPECT_EQ(pedal.Pending(), 6u);
    EXPECT_EQ(Read(100), whole.substr(4, 6)) << "a read stops at the cut";
    EXPECT_EQ(pedal.Pending(), whole.size() - 10);
    EXPECT_EQ(Read(1000), whole.substr(10));
}

TEST_F(Delivery, SplitWithAGapArrivesLater) {
    sim::ReplyFault fault;
    fault.splitAfter = {3};
    fault.splitGapMs = 20;
    pedal.QueueReplyFault(fault);
    pedal.Receive(B({0x02, 0x00}));
    EXPECT_EQ(pedal.Pending(), 3u);
    Read(3);
    EXPECT_EQ(pedal.Pending(), 0u);
    EXPECT_TRUE(pedal.HasUndelivered());
    now += 20;
    EXPECT_EQ(pedal.Pending(), WholeReport().size() - 3);
}

TEST_F(Delivery, PacedRepliesTrickleOutAtTheWireRate) {
    pedal.SetWirePaced(true);
    const std::size_t size = WholeReport().size();
    pedal.Receive(B({0x02, 0x00}));
    pedal.Receive(B({0x02, 0x00}));  // queues behind the first on the one wire
    EXPECT_EQ(pedal.Pending(), 0u);
    now += 10;
    EXPECT_EQ(pedal.Pending(), 115u);  // 11.52 bytes per millisecond

    const std::int64_t bothMs = static_cast<std::int64_t>((2 * size * 1000 + 11519) / 11520);
    now = 5000 + bothMs - 2;
    EXPECT_LT(pedal.Pending(), 2 * size);
    now = 5000 + bothMs + 1;
    EXPECT_EQ(pedal.Pending(), 2 * size);
    EXPECT_EQ(Read(4 * size), WholeReport() + WholeReport());
}

TEST_F(Delivery, ReadSizeLimitSpreadsEveryReplyOverSeveralReads) {
    pedal.SetMaxReadSize(16);
    pedal.Receive(B({0x02, 0x00}));
    const std::string whole = WholeReport();
    EXPECT_EQ(pedal.Pending(), whole.size());
    std::string got;
    std::size_t reads = 0;
    for (std::string part; !(part = Read(4096)).empty(); ++reads) {
        EXPECT_LE(part.size(), 16u);
        got += part;
    }
    EXPECT_EQ(got, whole);
    EXPECT_EQ(reads, (whole.size() + 15) / 16);
}

TEST_F(Delivery, PurgeDropsOnlyWhatHasArrived) {
    pedal.Send(B({1, 2, 3}));
    pedal.SendAfter(B({4, 5}), 10);
    pedal.DropPending();
    EXPECT_EQ(pedal.Pending(), 0u);
    now += 10;
    EXPECT_EQ(pedal.TakeAll(), B({4, 5}));
}

TEST(VirtualPedalDriver, APedalThatUnplugsItselfLeavesTheDriver) {
    sim::VirtualPedalDriver driver;
    sim::VirtualPedal& pedal = driver.AddDevice("QM3-0001");
    pedal.EnterBootloader();
    pedal.UnplugAtBootloaderStep(1);

    ftd::FT_HANDLE handle = 0;
    ASSERT_EQ(driver.OpenBySerialNumber("QM3-0001", handle), ftd::FT_OK);
    std::uint32_t count = 0, written = 0, queued = 0;
    const std::uint8_t sync = 0x7F, getId[2] = {0x02, 0xFD};
    ASSERT_EQ(driver.Write(handle, &sync, 1, written), ftd::FT_OK);
    ASSERT_EQ(driver.GetQueueStatus(handle, queued), ftd::FT_OK);
    EXPECT_EQ(queued, 1u);
    std::uint8_t ack = 0;
    std::uint32_t got = 0;
    ASSERT_EQ(driver.Read(handle, &ack, 1, got), ftd::FT_OK);
    EXPECT_EQ(ack, 0x79);

    EXPECT_EQ(driver.Write(handle, getId, 2, written), ftd::FT_OK);
    EXPECT_TRUE(pedal.Unplugged());
    EXPECT_EQ(driver.GetQueueStatus(handle, queued), ftd::FT_IO_ERROR);
    EXPECT_EQ(driver.Write(handle, getId, 2, written), ftd::FT_IO_ERROR);
    ASSERT_EQ(driver.ListDeviceCount(count), ftd::FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(driver.AttachedCount(), 0u);
}

TEST(VirtualPedalDriver, PullingThePlugSilencesThePedal) {
    sim::VirtualPedalDriver driver;
    driver.AddDevice("A");
    driver.Unplug(0);
    EXPECT_TRUE(driver.Pedal(0).Unplugged());
    driver.Pedal(0).Receive(B({0x02, 0x00}));
    EXPECT_EQ(driver.Pedal(0).Pending(), 0u);
}

}  // namespace
