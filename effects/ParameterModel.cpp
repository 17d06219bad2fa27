#include "effects/ParameterModel.h"

#include <cmath>

#include "device/Communication.h"
#include "platform/Errors.h"

standard_parameter::standard_parameter(const QString& name, std::uint16_t address,
                                       std::uint8_t num_of_addresses)
    : num_of_addresses(num_of_addresses), parameter_name(name), address(address) {}

assignable_parameter::assignable_parameter(const QString& name, std::uint16_t address,
                                           bool is_assigned)
    : address(address), is_assigned(is_assigned), parameter_name(name) {}

std::uint8_t CurrentTuning = NoTuning;

// Unison is 0x400000; a semitone up adds 0x400000 / 12, a semitone down takes
// 0x400000 / 24 (the octave below is 0x200000); each entry is the nearest
// multiple of 8.
const std::array<std::uint32_t, 25> PitchTable = {
    0x00200000, 0x0022AAA8, 0x00255558, 0x00280000, 0x002AAAA8,  // -12 ... -8
    0x002D5558, 0x00300000, 0x0032AAA8, 0x00355558, 0x00380000,  // -7 ... -3
    0x003AAAA8, 0x003D5558, 0x00400000, 0x00455558, 0x004AAAA8,  // -2 ... +2
    0x00500000, 0x00555558, 0x005AAAA8, 0x00600000, 0x00655558,  // +3 ... +7
    0x006AAAA8, 0x00700000, 0x00755558, 0x007AAAA8, 0x00800000,  // +8 ... +12
};

standard_parameter* paramDry = nullptr;
standard_parameter* paramSubMix = nullptr;
standard_parameter* paramMinus1Oct = nullptr;
standard_parameter* paramMinus2Oct = nullptr;
standard_parameter* paramWave = nullptr;
standard_parameter* paramLowPass = nullptr;
standard_parameter* paramHighPass = nullptr;
standard_parameter* param1stHarmonic = nullptr;
standard_parameter* paramSplit = nullptr;
standard_parameter* paramRange = nullptr;
assignable_parameter* paramInputLevel = nullptr;
assignable_parameter* paramHarmonicPitch = nullptr;
assignable_parameter* paramWaveClip = nullptr;
assignable_parameter* paramDominantNoteCut = nullptr;
assignable_parameter* paramHighNotesCut = nullptr;

namespace {

// The model lives until the program ends; these own its objects.
struct Model {
    std::vector<std::unique_ptr<standard_parameter>> standard;
    std::vector<std::unique_ptr<assignable_parameter>> assignable;
    std::vector<std::unique_ptr<AssignmentListItem>> items;
    std::array<std::vector<AssignmentListItem*>, AssignableControlCount> lists;
    AssignmentListItem* bypass = nullptr;
    AssignmentListItem* preset = nullptr;
};

std::unique_ptr<Model>& TheModel() {
    static std::unique_ptr<Model> model;
    return model;
}

bool g_addressesRead = false;

Model& BuiltModel() {
    if (!TheModel())
        throw platform::EditorError(QStringLiteral("The parameters are not built yet"));
    return *TheModel();
}

// The address table word that supplies each slot's address; -1: none.
constexpr std::array<int, ParameterSlotCount> kWordOfSlot = {0, 1,  2,  3,  4,  5,  6, 7,
                                                             8, -1, 12, 13, 14, 15, 16};

}  // namespace

const QString& ParameterRef::name() const {
    return standard_ ? standard_->parameter_name : assignable_->parameter_name;
}

std::uint32_t ParameterRef::value() const {
    return standard_ ? standard_->value : assignable_->value;
}

void ParameterRef::setValue(std::uint32_t value) const {
    (standard_ ? standard_->value : assignable_->value) = value;
}

std::uint16_t ParameterRef::address() const {
    return standard_ ? standard_->address : assignable_->address;
}

void ParameterRef::setAddress(std::uint16_t address) const {
    (standard_ ? standard_->address : assignable_->address) = address;
}

void BuildParameterModel() {
    auto model = std::make_unique<Model>();

    auto assignable = [&](const char* name) {
        model->assignable.push_back(
            std::make_unique<assignable_parameter>(QString::fromLatin1(name), 0xFFFF, false));
        return model->assignable.back().get();
    };
    paramInputLevel = assignable("Input Level");
    paramHarmonicPitch = assignable("1st Harmonic Pitch");
    paramWaveClip = assignable("Wave Clip");
    paramDominantNoteCut = assignable("Dominant Note Cut");
    paramHighNotesCut = assignable("High Notes Cut");

    auto standard = [&](const char* name) {
        model->standard.push_back(
            std::make_unique<standard_parameter>(QString::fromLatin1(name), 0, 1));
        return model->standard.back().get();
    };
    paramDry = standard("Dry");
    paramMinus1Oct = standard("-1 Oct");
    paramSubMix = standard("Sub Mix");
    paramMinus2Oct = standard("-2 Oct");
    paramLowPass = standard("Low Pass");
    paramHighPass = standard("High Pass");
    paramRange = standard("Range");
    param1stHarmonic = standard("1st Harmonic");
    paramWave = standard("Wave");
    paramSplit = standard("Split");

    auto item = [&](const QString& text) {
        model->items.push_back(std::make_unique<AssignmentListItem>(text));
        return model->items.back().get();
    };
    // Two items per assignable parameter: the first for CTRL I or CTRL III,
    // the second for CTRL II or CTRL IV.
    std::array<std::array<AssignmentListItem*, 2>, AssignableParameterCount> parameterItems{};
    const assignable_parameter* assignables[] = {paramInputLevel, paramHarmonicPitch, paramWaveClip,
                                                 paramDominantNoteCut, paramHighNotesCut};
    for (int i = 0; i < AssignableParameterCount; ++i)
        for (auto& slot : parameterItems[i]) slot = item(assignables[i]->parameter_name);
    model->bypass = item(QStringLiteral("Bypass"));
    model->preset = item(QStringLiteral("Preset"));
    for (auto& list : model->lists) list.push_back(item(QStringLiteral("Not Assigned")));

    for (int copy = 0; copy < 2; ++copy) {
        auto& first = model->lists[copy == 0 ? CtrlI : CtrlII];
        for (int i : {0, 1, 2}) first.push_back(parameterItems[i][copy]);
        auto& second = model->lists[copy == 0 ? CtrlIII : CtrlIV];
        for (int i : {3, 4}) second.push_back(parameterItems[i][copy]);
    }
    model->lists[RemoteFootswitch].push_back(model->bypass);
    model->lists[RemoteFootswitch].push_back(model->preset);

    TheModel() = std::move(model);
    g_addressesRead = false;
}

bool ParameterModelBuilt() {
    return TheModel() != nullptr;
}

ParameterRef ParameterAt(int slot) {
    BuiltModel();
    switch (slot) {
        case SlotDry:
            return *paramDry;
        case SlotSubMix:
            return *paramSubMix;
        case SlotMinus1Oct:
            return *paramMinus1Oct;
        case SlotMinus2Oct:
            return *paramMinus2Oct;
        case SlotWave:
            return *paramWave;
        case SlotLowPass:
            return *paramLowPass;
        case SlotHighPass:
            return *paramHighPass;
        case Slot1stHarmonic:
            return *param1stHarmonic;
        case SlotSplit:
            return *paramSplit;
        case SlotRange:
            return *paramRange;
        case SlotInputLevel:
            return *paramInputLevel;
        case SlotHarmonicPitch:
            return *paramHarmonicPitch;
        case SlotWaveClip:
            return *paramWaveClip;
        case SlotDominantNoteCut:
            return *paramDominantNoteCut;
        case SlotHighNotesCut:
            return *paramHighNotesCut;
    }
    throw platform::EditorError(QStringLiteral("There is no parameter slot %1").arg(slot));
}

std::optional<ParameterRef> FindParameter(const QString& name) {
    for (int slot = 0; slot < ParameterSlotCount; ++slot) {
        ParameterRef p = ParameterAt(slot);
        if (p.name() == name) return p;
    }
    return std::nullopt;
}

const std::vector<AssignmentListItem*>& AssignmentListItems(int control) {
    Model& model = BuiltModel();
    if (control < 0 || control >= AssignableControlCount)
        throw platform::EditorError(
            QStringLiteral("There is no assignable control %1").arg(control));
    return model.lists[static_cast<std::size_t>(control)];
}

AssignmentListItem* NotAssignedItem(int control) {
    return AssignmentListItems(control).front();
}
AssignmentListItem* BypassItem() {
    return BuiltModel().bypass;
}
AssignmentListItem* PresetItem() {
    return BuiltModel().preset;
}

int NormalizeDialAngle(int angle) {
    int a = angle % 360;
    if (a <= -180) a += 360;
    if (a > 180) a -= 360;
    return a;
}

int SnapDialAngle(int angle) {
    const int a = NormalizeDialAngle(angle);
    if (a >= -45 || a <= -135) return a;
    return a <= -90 ? -135 : -45;
}

int DialTravel(int angle) {
    const int a = SnapDialAngle(angle);
    if (a <= -135) return -(a + 135);  // -179 ... -135
    return 224 - a;                    // 0 ... 180 and -45 ... -1
}

std::uint32_t DialAngleToValue(int angle) {
    const int travel = DialTravel(angle);
    // std::lrint rounds halves to even; for whole travels it never meets one.
    const long position = std::lrint(4.0 * travel * 1023.0 / 1076.0);
    return static_cast<std::uint32_t>(position) << 13;
}

int MapRange(int x, int in_lo, int in_hi, int out_lo, int out_hi) {
    // The pedal's conversions are 32-bit with wrap-around; compute wide and
    // wrap explicitly so overflow is defined.
    const auto wrap = [](std::int64_t v) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    };
    const std::int32_t span = wrap(std::int64_t{in_hi} - in_lo);
    if (span == 0) return out_lo;
    const std::int32_t product = wrap((std::int64_t{x} - in_lo) * (std::int64_t{out_hi} - out_lo));
    return wrap(std::int64_t{out_lo} + std::int64_t{product} / span);
}

int ValueToDialAngle(std::uint32_t value, std::uint32_t scale) {
    std::uint32_t position;
    if (scale == 0x800000)
        position = value >> 13;
    else if (scale == 0)
        position = 0;
    else  // spreads 0 ... N over 0 ... 1023, with the pedal's 32-bit wrap-around
        position = static_cast<std::uint32_t>((8192u / scale) * value) >> 3;
    if (position >= 1023) position = 1023;

    // Six straight pieces, one per stretch of the arc. They are not an exact
    // inverse of DialAngleToValue: a value can come back a degree or two away
    // from the angle it was written from (0x006A8000, written at 0, reads -1).
    struct Segment {
        int inLo, inHi, outLo, outHi;
    };
    static constexpr Segment kSegments[] = {
        {0, 169, -135, -179}, {170, 339, 180, 135}, {340, 511, 136, 90},
        {512, 680, 89, 45},   {681, 850, 44, 0},    {851, 1023, -1, -45},
    };
    const int a = static_cast<int>(position);
    for (const Segment& s : kSegments)
        if (a <= s.inHi) return MapRange(a, s.inLo, s.inHi, s.outLo, s.outHi);
    return -45;
}

bool ParameterHasAddress(int slot) {
    return slot >= 0 && slot < ParameterSlotCount &&
           kWordOfSlot[static_cast<std::size_t>(slot)] >= 0;
}

void ReadParameterAddresses(const QString& line) {
    if (line.size() < AddressTableLength)
        throw platform::EditorError(
            QStringLiteral("The algorithm image has no complete address table: its first line "
                           "holds %1 characters, %2 are needed")
                .arg(line.size())
                .arg(AddressTableLength));

    // Convert the whole table before storing any of it, so a bad image leaves
    // every address as it was.
    std::array<std::uint16_t, 17> words{};
    for (int k = 0; k < 17; ++k) {
        std::uint16_t word = 0;
        for (int half = 0; half < 2; ++half) {
            const int start = 6 + 4 * k + 2 * half;  // zero-based
            const QString pair = line.mid(start, 2);
            const int high = HexDigitValue(pair.at(0));
            const int low = HexDigitValue(pair.at(1));
            if (high < 0 || low < 0)
                throw platform::EditorError(
                    QStringLiteral("The algorithm image's address table is not valid: '%1' at "
                                   "character %2 is not a hexadecimal byte")
                        .arg(pair)
                        .arg(start + 1));
            const int byte = high * 16 + low;
            word = static_cast<std::uint16_t>(word * 256 + byte);
        }
        words[static_cast<std::size_t>(k)] = word;
    }
    for (int slot = 0; slot < ParameterSlotCount; ++slot) {
        const int word = kWordOfSlot[static_cast<std::size_t>(slot)];
        if (word >= 0) ParameterAt(slot).setAddress(words[static_cast<std::size_t>(word)]);
    }
    g_addressesRead = true;
}

bool ParameterAddressesRead() {
    return g_addressesRead;
}
