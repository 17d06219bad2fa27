#include <gtest/gtest.h>
#include <QString>
#include <QStringList>
#include <cmath>
#include <set>

#include "effects/ParameterModel.h"
#include "platform/Errors.h"
#include "tests/support/ProcessState.h"

namespace {

struct AngleCase {
    int angle;
    std::uint32_t value;
};

TEST(DialConversion, AngleToValue) {
    const AngleCase cases[] = {
        {-135, 0x00000000},  // the minimum
        {-100, 0x00000000},  // dead quarter, nearer the minimum
        {-90, 0x00000000},   // the middle of the dead quarter goes to the minimum
        {-89, 0x007FE000},   // ... one degree further to the maximum
        {-60, 0x007FE000},  {-45, 0x007FE000},  // the maximum
        {0, 0x006A8000},    {90, 0x003FC000},
        {180, 0x0014E000},  {-179, 0x0014E000},  // the same travel as 180
        {-180, 0x0014E000},                      // -180 is 180
        {-136, 0x00008000},                      // one degree past the minimum
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialAngleToValue(c.angle), c.value) << "angle " << c.angle;
}

TEST(DialConversion, SnapAndTravel) {
    const struct {
        int angle, snapped, travel;
    } cases[] = {
        {-135, -135, 0}, {-134, -135, 0},  {-90, -135, 0},  {-89, -45, 269}, {-46, -45, 269},
        {-45, -45, 269}, {-179, -179, 44}, {180, 180, 44},  {179, 179, 45},  {0, 0, 224},
        {-1, -1, 225},   {-136, -136, 1},  {-180, 180, 44},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SnapDialAngle(c.angle), c.snapped) << "angle " << c.angle;
        EXPECT_EQ(DialTravel(c.angle), c.travel) << "angle " << c.angle;
    }
}

TEST(DialConversion, ValueToAngle) {
    const struct {
        std::uint32_t value, scale;
        int angle;
    } cases[] = {
        {0, 0x800000, -135},
        {0x00400000, 0x800000, 89},
        {0x007FE000, 0x800000, -45},
        {0x00800000, 0x800000, -45},  // above the top position: clamped
        {0xFFFFFFFF, 0x800000, -45},
        {0x006A8000, 0x800000, -1},    // written from 0, reads back one degree off
        {0x0014E000, 0x800000, -178},  // written from 180 and -179 alike
        {12, 24, 90},                  // Low Pass
        {24, 24, -45},
        {8, 16, 89},  // High Pass
        {16, 16, -45},
        {11, 22, 90},  // Range
        {0, 22, -135},
        // 341 x 12595213 wraps to 337 in 32 bits: position 42, not the clamp.
        {12595213, 24, -145},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ValueToDialAngle(c.value, c.scale), c.angle)
            << "value " << c.value << " scale " << c.scale;
}

TEST(DialConversion, MapRangeTruncatesTowardZero) {
    // -10.93 becomes -10 (flooring would give -11), 0.67 becomes 0.
    EXPECT_EQ(MapRange(42, 0, 169, -135, -179), -145);
    EXPECT_EQ(MapRange(1, 0, 3, 0, 2), 0);
    EXPECT_EQ(MapRange(2, 0, 3, 0, -2), -1);
    EXPECT_EQ(MapRange(1023, 851, 1023, -1, -45), -45);
}

// The inverse is not exact, but a value written from any usable angle reads
// back on the arc and close to that angle, and every position lands on the arc.
TEST(DialConversion, WrittenValuesReadBackCloseToTheirAngle) {
    int worst = 0;
    for (int travel = 0; travel <= 269; ++travel) {
        const int angle = travel <= 44 ? -135 - travel : 224 - travel;
        ASSERT_EQ(DialTravel(angle), travel);
        const int back = ValueToDialAngle(DialAngleToValue(angle), 0x800000);
        ASSERT_EQ(SnapDialAngle(back), back) << "angle " << angle;
        worst = std::max(worst, std::abs(DialTravel(back) - travel));
    }
    EXPECT_LE(worst, 2);
    for (std::uint32_t position = 0; position <= 1023; ++position) {
        const int angle = ValueToDialAngle(position << 13, 0x800000);
        EXPECT_EQ(SnapDialAngle(angle), angle) << "position " << position;
    }
}

TEST(PitchTable, FollowsTheSemitoneStepsToTheNearestMultipleOfEight) {
    ASSERT_EQ(PitchTable.size(), 25u);
    EXPECT_EQ(PitchTable[0], 0x00200000u);   // "-12"
    EXPECT_EQ(PitchTable[12], 0x00400000u);  // "0"
    EXPECT_EQ(PitchTable[24], 0x00800000u);  // "+12"
    for (int i = 0; i < 25; ++i) {
        const int semitones = i - 12;
        const double step = semitones < 0 ? 0x400000 / 24.0 : 0x400000 / 12.0;
        const double exact = 0x400000 + semitones * step;
        const auto nearest = static_cast<std::uint32_t>(std::llround(exact / 8) * 8);
        EXPECT_EQ(PitchTable[static_cast<std::size_t>(i)], nearest) << "entry " << semitones;
    }
}

// These cases build the parameter model and read address tables into it; the
// cases after them start without either.
using ParameterModel = GuardedTest;

TEST_F(ParameterModel, FifteenParametersInSlotOrder) {
    BuildParameterModel();
    const struct {
        const char* name;
        bool assignable;
    } expected[] = {
        {"Dry", false},           {"Sub Mix", false},
        {"-1 Oct", false},        {"-2 Oct", false},
        {"Wave", false},          {"Low Pass", false},
        {"High Pass", false},     {"1st Harmonic", false},
        {"Split", false},         {"Range", false},
        {"Input Level", true},    {"1st Harmonic Pitch", true},
        {"Wave Clip", true},      {"Dominant Note Cut", true},
        {"High Notes Cut", true},
    };
    for (int slot = 0; slot < ParameterSlotCount; ++slot) {
        const ParameterRef p = ParameterAt(slot);
        EXPECT_EQ(p.name(), QLatin1String(expected[slot].name)) << "slot " << slot;
        EXPECT_EQ(p.assignable() != nullptr, expected[slot].assignable) << "slot " << slot;
        EXPECT_EQ(p.value(), 0u);
        // Standard parameters start at address 0, assignable ones unassigned at 0xFFFF.
        EXPECT_EQ(p.address(), expected[slot].assignable ? 0xFFFF : 0) << "slot " << slot;
        if (p.standard()) {
            EXPECT_EQ(p.standard()->num_of_addresses, 1);
        } else {
            EXPECT_FALSE(p.assignable()->is_assigned);
        }
        auto found = FindParameter(p.name());
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->value(), p.value());
        EXPECT_TRUE(found->standard() == p.standard() && found->assignable() == p.assignable());
    }
    EXPECT_FALSE(FindParameter(QStringLiteral("dry")).has_value());  // names match exactly
}

TEST_F(ParameterModel, EachAssignmentListHasItsOwnItems) {
    BuildParameterModel();
    const QStringList expected[AssignableControlCount] = {
        {"Not Assigned", "Input Level", "1st Harmonic Pitch", "Wave Clip"},
        {"Not Assigned", "Input Level", "1st Harmonic Pitch", "Wave Clip"},
        {"Not Assigned", "Dominant Note Cut", "High Notes Cut"},
        {"Not Assigned", "Dominant Note Cut", "High Notes Cut"},
        {"Not Assigned", "Bypass", "Preset"},
    };
    std::set<const AssignmentListItem*> seen;
    for (int control = 0; control < AssignableControlCount; ++control) {
        QStringList texts;
        for (const AssignmentListItem* item : AssignmentListItems(control)) {
            texts << item->text;
            EXPECT_TRUE(seen.insert(item).second) << "an item sits in two lists";
        }
        EXPECT_EQ(texts, expected[control]) << "control " << control;
        EXPECT_EQ(NotAssignedItem(control), AssignmentListItems(control).front());
    }
    EXPECT_EQ(BypassItem(), AssignmentListItems(RemoteFootswitch)[1]);
    EXPECT_EQ(PresetItem(), AssignmentListItems(RemoteFootswitch)[2]);
}

// Header "001220", then the 17 words of the address table, then program bytes.
QString ImageLine(const QStringList& words) {
    QString line = QStringLiteral("001220") + words.join(QString());
    while (line.size() < 200) line += QStringLiteral("A5");
    return line;
}

const QStringList kWords = {"000B", "00E8", "0077", "0073", "0003", "00CC", "00DE", "00a0", "00E9",
                            "1111", "2222", "3333", "000A", "006E", "00e7", "001B", "000C"};

std::vector<std::uint16_t> Addresses() {
    std::vector<std::uint16_t> addresses;
    for (int slot = 0; slot < ParameterSlotCount; ++slot)
        addresses.push_back(ParameterAt(slot).address());
    return addresses;
}

TEST_F(ParameterModel, AddressTableFillsFourteenParameters) {
    BuildParameterModel();
    ReadParameterAddresses(ImageLine(kWords));
    // Slot order; words 9 to 11 are not used, Range keeps 0. Either case of hex digits reads.
    const std::vector<std::uint16_t> expected = {0x000B, 0x00E8, 0x0077, 0x0073, 0x0003,
                                                 0x00CC, 0x00DE, 0x00A0, 0x00E9, 0x0000,
                                                 0x000A, 0x006E, 0x00E7, 0x001B, 0x000C};
    EXPECT_EQ(Addresses(), expected);
}

TEST_F(ParameterModel, BadAddressTableChangesNoAddress) {
    BuildParameterModel();
    ReadParameterAddresses(ImageLine(kWords));
    const std::vector<std::uint16_t> before = Addresses();

    QStringList late = kWords;
    late[16] = "00G1";  // the last word: all others would already have been stored
    QStringList signed_ = kWords;
    signed_[0] = "+1+1";  // a sign is not a hex digit
    QStringList blank = kWords;
    blank[5] = " 0CC";
    const struct {
        const char* name;
        QString line;
        QString mentions;
    } cases[] = {
        {"short line", ImageLine(kWords).left(73), "73"},
        {"empty line", QString(), "74"},
        {"non-hex pair", ImageLine(late), "'G1'"},
        {"sign", ImageLine(signed_), "'+1'"},
        {"blank", ImageLine(blank), "' 0'"},
    };
    for (const auto& c : cases) {
        try {
            ReadParameterAddresses(c.line);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const platform::EditorError& e) {
            EXPECT_TRUE(e.message().contains(c.mentions)) << c.name << ": " << e.what();
        }
        EXPECT_EQ(Addresses(), before) << c.name;
    }
}

}  // namespace
