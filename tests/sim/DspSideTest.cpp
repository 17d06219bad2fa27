// The DSP side of the virtual pedal: what it reports, what each message
// changes, the EEPROM tools, the algorithm upload, and bad input.
#include <gtest/gtest.h>

#include "sim/VirtualPedal.h"
#include "tests/sim/SimTestSupport.h"

using namespace simtest;
using sim::Bytes;

namespace {

class DspSide : public ::testing::Test {
protected:
    std::int64_t now = 1000;
    sim::VirtualPedal pedal{[this] { return now; }};

    // One host write, then everything the pedal has answered so far.
    std::string Exchange(const Bytes& message) {
        pedal.Receive(message);
        return Text(pedal.TakeAll());
    }
    std::vector<std::string> Report() { return Lines(Exchange(B({0x02, 0x00}))); }
};

TEST_F(DspSide, DeviceInformationIsEightyOneDecimalLines) {
    pedal.SetFirmwareVersion(12);
    pedal.SetSlotValue(0, 0x00402000);
    pedal.SetSlotValue(14, 0x01020304);

    std::vector<unsigned> expected = {12, 0, 8, 1, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), 10, 255);  // no control assigned: every code FFFF
    expected.push_back(0);                     // tuning
    for (unsigned v : {0, 64, 32, 0}) expected.push_back(v);
    expected.insert(expected.end(), 13 * 4, 0);
    for (unsigned v : {1, 2, 3, 4}) expected.push_back(v);
    ASSERT_EQ(expected.size(), 81u);

    EXPECT_EQ(Exchange(B({0x02, 0x00})), DecimalLines(expected));
    EXPECT_EQ(pedal.Commands(), std::vector<Bytes>{B({0x02, 0x00})});
}

TEST_F(DspSide, SettingsMessagesShowInTheNextReport) {
    const Bytes assign = B({0x04, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xFF, 0xFF, 0xFF, 0xFE});
    for (const Bytes& message : {
             assign,
             B({0x08, 0x01, 0x01}),                          // short: change preset, long: bypass
             B({0x09, 0x02}),                                // tuning
             B({0x09, 0x01, 0x07}),                          // note filter, not a tuning
             B({0x07, 0x0A}),                                // MIDI channel 10
             B({0x01, 0x00, 0xE8, 0x00, 0x40, 0x00, 0x00}),  // live write to "Sub Mix"
             B({0x01, 0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF}),  // an address no slot has
             B({0x03, 0x00, 0x40, 0x20, 0x00, 0x00, 0x55, 0x55, 0x58, 0x00, 0x00,
                0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00}),
         })
        EXPECT_EQ(Exchange(message), "") << "only the information request is answered";

    const auto v = Report();
    ASSERT_EQ(v.size(), 81u);
    EXPECT_EQ(v[4], "3");  // 1 * 2 + 1
    for (std::size_t i = 0; i < 15; ++i) EXPECT_EQ(v[5 + i], std::to_string(assign[1 + i])) << i;
    EXPECT_EQ(v[20], "2");
    auto slot = [&](std::size_t s) {
        return std::vector<std::string>(v.begin() + 21 + 4 * s, v.begin() + 25 + 4 * s);
    };
    using S = std::vector<std::string>;
    EXPECT_EQ(slot(1), (S{"0", "64", "0", "0"}));
    EXPECT_EQ(slot(10), (S{"0", "64", "32", "0"}));
    EXPECT_EQ(slot(11), (S{"0", "85", "85", "88"}));
    EXPECT_EQ(slot(12), (S{"0", "0", "0", "0"}));
    EXPECT_EQ(slot(13), (S{"0", "0", "0", "1"}));
    EXPECT_EQ(slot(14), (S{"0", "0", "1", "0"}));

    EXPECT_EQ(pedal.NoteFilter(), std::make_pair(std::uint8_t{1}, std::uint8_t{7}));
    EXPECT_EQ(pedal.MidiChannel(), 10);
    EXPECT_EQ(pedal.ParameterAt(0x1234), 0xDEADBEEFu);
    EXPECT_EQ(pedal.StoreCount(), 1u);
}

// The tuning and the note filter share their command code; the bytes that
// arrived together decide, also when other messages ride in the same write.
TEST_F(DspSide, TuningAndNoteFilterAreToldApartByLength) {
    struct Case {
        Bytes write;
        int tuning;
        std::pair<int, int> filter;
        bool reported;
    };
    const Case cases[] = {
        {B({0x09, 0x03}), 3, {0xFF, 0xFF}, false},
        {B({0x09, 0x05, 0xFF}), 0, {0x05, 0xFF}, false},
        {B({0x09, 0x02, 0x02, 0x00}), 2, {0xFF, 0xFF}, true},
        {B({0x09, 0x00, 0x03, 0x02, 0x00}), 0, {0x00, 0x03}, true},
    };
    for (const Case& c : cases) {
        sim::VirtualPedal fresh;
        fresh.Receive(c.write);
        EXPECT_EQ(fresh.Tuning(), c.tuning);
        EXPECT_EQ(fresh.NoteFilter().first, c.filter.first);
        EXPECT_EQ(fresh.NoteFilter().second, c.filter.second);
        EXPECT_EQ(fresh.Pending() > 0, c.reported);
        EXPECT_TRUE(fresh.Unrecognised().empty());
    }
}

TEST_F(DspSide, EepromReadListsEveryAddressOfTheRangeAndEraseSetsFF) {
    pedal.Eeprom()[100] = 13;
    pedal.Eeprom()[101] = 0;
    pedal.Eeprom()[102] = 10;
    EXPECT_EQ(Exchange(B({0x0C, 0x00, 0x64, 0x00, 0x66})), "13\r\n0\r\n10\r\n");

    EXPECT_EQ(Exchange(B({0x0B, 0x00, 0x64, 0x00, 0x65})), "");
    EXPECT_EQ(Exchange(B({0x0C, 0x00, 0x64, 0x00, 0x66})), "255\r\n255\r\n10\r\n");

    // The console's default range is the whole EEPROM.
    const auto all = Lines(Exchange(B({0x0C, 0x00, 0x00, 0x3F, 0xFF})));
    EXPECT_EQ(all.size(), sim::VirtualPedal::kEepromSize);
    EXPECT_EQ(all[102], "10");

    EXPECT_EQ(Exchange(B({0x0C, 0x00, 0x05, 0x00, 0x04})), "") << "an empty range";
}

Bytes AlgorithmImage(std::size_t size, std::uint16_t dryAddress) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    image[0] = 0x00;
    image[1] = static_cast<std::uint8_t>(size >> 8);
    image[2] = static_cast<std::uint8_t>(size & 0xFF);
    image[3] = static_cast<std::uint8_t>(dryAddress >> 8);  // address table word 0: "Dry"
    image[4] = static_cast<std::uint8_t>(dryAddress & 0xFF);
    return image;
}

TEST_F(DspSide, UploadWaitsForTheWholeImageThenAnswersOnce) {
    const Bytes image = AlgorithmImage(4640, 0x0100);
    EXPECT_EQ(Exchange(B({0x0D, 0x00})), "");
    EXPECT_TRUE(pedal.UploadInProgress());

    // A pseudo-terminal may hand the image over in pieces; the length in its
    // header decides when it is complete. A request right behind it in the
    // same write is still a request.
    const auto cut1 = image.begin() + 1, cut2 = image.begin() + 4000;
    EXPECT_EQ(Exchange(Bytes(image.begin(), cut1)), "");
    EXPECT_EQ(Exchange(Bytes(cut1, cut2)), "");
    const std::string answer = Exchange(Cat(Bytes(cut2, image.end()), B({0x02, 0x00})));
    ASSERT_GT(answer.size(), 17u);
    EXPECT_EQ(answer.substr(0, 17), "Upload complete\r\n");
    EXPECT_EQ(Lines(answer.substr(17)).size(), 81u);

    EXPECT_EQ(pedal.LastUpload(), image);
    EXPECT_EQ(pedal.UploadCount(), 1u);
    EXPECT_FALSE(pedal.UploadInProgress());

    // The new algorithm's "Dry" lives where its table says.
    EXPECT_EQ(pedal.SlotAddress(0), 0x0100);
    Exchange(B({0x01, 0x01, 0x00, 0x00, 0x7F, 0xE0, 0x00}));
    EXPECT_EQ(pedal.SlotValue(0), 0x007FE000u);
}

// Switched off and on in the middle of an upload, the pedal waits for no
// image: the next message is a message again.
TEST_F(DspSide, APedalPoweredUpAgainWaitsForNoImage) {
    const Bytes image = AlgorithmImage(4640, 0x0100);
    Exchange(B({0x0D, 0x00}));
    Exchange(Bytes(image.begin(), image.begin() + 100));
    ASSERT_TRUE(pedal.UploadInProgress());

    pedal.PullPlug();
    pedal.PlugIn();

    EXPECT_FALSE(pedal.UploadInProgress());
    EXPECT_EQ(Report().size(), 81u);
    EXPECT_TRUE(pedal.Unrecognised().empty());
    EXPECT_EQ(pedal.UploadCount(), 0u);
}

TEST_F(DspSide, UploadAnswerFaults) {
    const Bytes image = AlgorithmImage(64, 0x000B);
    auto upload = [&] {
        pedal.Receive(B({0x0D, 0x00}));
        pedal.Receive(image);
    };

    pedal.SwallowNextReply();
    upload();
    now += 60000;
    EXPECT_EQ(pedal.Pending(), 0u) << "no answer";
    EXPECT_EQ(pedal.UploadCount(), 1u) << "the image itself was taken";

    pedal.DelayNextReply(6000);
    upload();
    now += 5999;
    EXPECT_EQ(pedal.Pending(), 0u);
    now += 1;
    EXPECT_EQ(Text(pedal.TakeAll()), "Upload complete\r\n") << "late answer";

    pedal.SplitNextReplyAfter(6);
    upload();
    EXPECT_EQ(Text(pedal.TakeAll()), "Upload");
    EXPECT_EQ(Text(pedal.TakeAll()), " complete\r\n") << "answer in two reads";

    pedal.TruncateNextReply(10);
    upload();
    EXPECT_EQ(Text(pedal.TakeAll()), "Upload com") << "short answer";
    EXPECT_EQ(pedal.UploadCount(), 4u);
}

TEST_F(DspSide, ReplyFaultsChangeOneReplyEach) {
    pedal.FourDigitValueInNextReply(0, "1234");
    sim::ReplyFault oversized, raw;
    oversized.suffix = B({'9', '9', '\r', '\n'});
    raw.replace = B({0xEE, 0x0D});
    pedal.QueueReplyFault(oversized);
    pedal.QueueReplyFault(raw);

    const auto four = Report();
    EXPECT_EQ(four[0], "1234");
    EXPECT_EQ(four[1], "0");
    const auto longer = Report();
    ASSERT_EQ(longer.size(), 82u);
    EXPECT_EQ(longer.back(), "99");
    EXPECT_EQ(Exchange(B({0x02, 0x00})), "\xEE\x0D");
    EXPECT_EQ(Report().size(), 81u) << "the faults are used up";

    pedal.SetSilent(true);
    EXPECT_EQ(Exchange(B({0x02, 0x00})), "");
    EXPECT_EQ(Exchange(B({0x0C, 0x00, 0x00, 0x00, 0x01})), "");
    EXPECT_EQ(pedal.Commands().size(), 6u) << "silent, but still listening";
}

TEST_F(DspSide, GarbageAndCutMessagesAreRecordedAndHarmless) {
    EXPECT_EQ(Exchange(B({0xEE, 0x02, 0x00})), "");
    EXPECT_EQ(Exchange(B({0x01, 0x00, 0xE8})), "");
    EXPECT_EQ(Exchange(B({0x03})), "");
    pedal.Receive(nullptr, 0);
    EXPECT_EQ(pedal.Unrecognised(),
              (std::vector<Bytes>{B({0xEE, 0x02, 0x00}), B({0x01, 0x00, 0xE8}), B({0x03})}));
    EXPECT_EQ(pedal.Messages().size(), 4u);
    EXPECT_EQ(pedal.SlotValue(1), 0u);
    EXPECT_EQ(Report().size(), 81u);
}

// Over a pseudo-terminal the system may cut a write in two; the halves are
// joined when they follow each other closely, but a stale half is not glued
// onto the next message.
TEST_F(DspSide, StreamFramingJoinsCloseHalvesOnly) {
    pedal.SetStreamFraming(true);
    pedal.Receive(B({0x01, 0x00, 0xE8}));
    now += 5;
    pedal.Receive(B({0x00, 0x40, 0x00, 0x00, 0x02}));
    now += 5;
    pedal.Receive(B({0x00}));
    EXPECT_EQ(pedal.SlotValue(1), 0x00400000u);
    EXPECT_EQ(Lines(Text(pedal.TakeAll())).size(), 81u);

    pedal.Receive(B({0x01, 0x00}));
    now += sim::VirtualPedal::kMessageCompletionMs + 1;
    pedal.Receive(B({0x02, 0x00}));
    EXPECT_EQ(Lines(Text(pedal.TakeAll())).size(), 81u);
    EXPECT_EQ(pedal.Unrecognised(), std::vector<Bytes>{B({0x01, 0x00})});
}

}  // namespace
