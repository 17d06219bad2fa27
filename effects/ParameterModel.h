#pragma once
// The editor's model of the effect's fifteen parameters: the two parameter
// classes, the fifteen objects in the order the pedal reports them (the slot
// order, also that of preset files), the items of the five assignment lists,
// the pitch table, and the conversions between a dial's angle and the value
// the pedal takes.
//
// Dial angles are whole degrees measured counter-clockwise from three o'clock
// (0 points right, 90 up, 180 left, -90 down), reported from -179 to 180. The
// usable arc runs clockwise from -135 (lower left, the minimum) over the top
// to -45 (lower right, the maximum); the 90 degrees around -90 are dead.

#include <QMetaType>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// A parameter that only the settings window sets.
class standard_parameter {
public:
    standard_parameter(const QString& name, std::uint16_t address, std::uint8_t num_of_addresses);

    // Only value and address are meant for other modules; the rest belongs to
    // the settings window, which shares this module.
    bool is_assigned = false;
    std::uint8_t num_of_addresses = 0;
    QString parameter_name;
    std::uint8_t parameter_type = 0;
    bool control_type = false;
    std::uint32_t value = 0;
    std::uint16_t address = 0;
};

// A parameter that one of the pedal's control buttons can take over; while it
// is assigned the settings window refuses to change it.
class assignable_parameter {
public:
    assignable_parameter(const QString& name, std::uint16_t address, bool is_assigned);

    std::uint16_t address = 0;
    bool is_assigned = false;
    QString parameter_name;
    bool control_type = false;
    std::uint32_t value = 0;
};

constexpr int StandardParameterCount = 10;
constexpr int AssignableParameterCount = 5;
constexpr int ParameterSlotCount = StandardParameterCount + AssignableParameterCount;
// CTRL I, CTRL II, CTRL III, CTRL IV and the remote footswitch.
constexpr int AssignableControlCount = 5;
// What the remote footswitch's entry of an assignment carries.
constexpr std::uint16_t RemoteBypassCode = 0xFFFE;
constexpr std::uint16_t RemotePresetCode = 0xFFFD;
constexpr std::uint16_t NotAssignedCode = 0xFFFF;
constexpr std::uint8_t NoTuning = 0;

// Index of a control in the assignment lists, ControlAssigned and the messages.
enum AssignableControl : int {
    CtrlI = 0,
    CtrlII = 1,
    CtrlIII = 2,
    CtrlIV = 3,
    RemoteFootswitch = 4
};

// The slots, in the order of the pedal's settings reply.
enum ParameterSlot : int {
    SlotDry = 0,
    SlotSubMix,
    SlotMinus1Oct,
    SlotMinus2Oct,
    SlotWave,
    SlotLowPass,
    SlotHighPass,
    Slot1stHarmonic,
    SlotSplit,
    SlotRange,
    SlotInputLevel,
    SlotHarmonicPitch,
    SlotWaveClip,
    SlotDominantNoteCut,
    SlotHighNotesCut,
};

// The tuning chosen in the settings window's tuning list (0 = NoTuning).
extern std::uint8_t CurrentTuning;

// "1st Harmonic Pitch" values for the pitch list's entries "-12" ... "+12".
extern const std::array<std::uint32_t, 25> PitchTable;

// The fifteen parameter objects; null until BuildParameterModel() has run.
extern standard_parameter* paramDry;
extern standard_parameter* paramSubMix;
extern standard_parameter* paramMinus1Oct;
extern standard_parameter* paramMinus2Oct;
extern standard_parameter* paramWave;
extern standard_parameter* paramLowPass;
extern standard_parameter* paramHighPass;
extern standard_parameter* param1stHarmonic;
extern standard_parameter* paramSplit;
extern standard_parameter* paramRange;
extern assignable_parameter* paramInputLevel;
extern assignable_parameter* paramHarmonicPitch;
extern assignable_parameter* paramWaveClip;
extern assignable_parameter* paramDominantNoteCut;
extern assignable_parameter* paramHighNotesCut;

// One parameter of either class, for code that walks the slots or looks a
// parameter up by name (presets, read-back, store).
class ParameterRef {
public:
    ParameterRef(standard_parameter& p) : standard_(&p) {}
    ParameterRef(assignable_parameter& p) : assignable_(&p) {}

    const QString& name() const;
    std::uint32_t value() const;
    void setValue(std::uint32_t value) const;
    std::uint16_t address() const;
    void setAddress(std::uint16_t address) const;
    // Null for the other class.
    standard_parameter* standard() const { return standard_; }
    assignable_parameter* assignable() const { return assignable_; }

private:
    standard_parameter* standard_ = nullptr;
    assignable_parameter* assignable_ = nullptr;
};

// Builds the fifteen parameters and the assignment list items. Run once at
// start, in the settings window's place among the windows (CreateWindows);
// running it again starts a fresh model.
void BuildParameterModel();
bool ParameterModelBuilt();
// The parameter at a slot (0 to 14); the model must have been built.
ParameterRef ParameterAt(int slot);
// The parameter whose parameter_name is exactly name.
std::optional<ParameterRef> FindParameter(const QString& name);

// An entry of an assignment list. Each list has its own items, so "Not
// Assigned", "Bypass" and "Preset" are told apart by identity.
class AssignmentListItem {
public:
    explicit AssignmentListItem(const QString& text) : text(text) {}
    QString text;
    bool enabled = true;
};
Q_DECLARE_METATYPE(AssignmentListItem*)

// The items of one control's list, index 0 ("Not Assigned") first.
const std::vector<AssignmentListItem*>& AssignmentListItems(int control);
AssignmentListItem* NotAssignedItem(int control);
AssignmentListItem* BypassItem();
AssignmentListItem* PresetItem();

// Dial conversions.
int SnapDialAngle(int angle);
// Degrees of travel from the minimum, 0 to 269.
int DialTravel(int angle);
std::uint32_t DialAngleToValue(int angle);
// The angle that shows a value read from the pedal. scale: 0x800000 for dial
// positions, N for the integer parameters (0 to N). Values the editor wrote
// come back at the angle they were written from.
int ValueToDialAngle(std::uint32_t value, std::uint32_t scale);
// out_lo + (x - in_lo) * (out_hi - out_lo) / (in_hi - in_lo), 32-bit, the
// division truncating toward zero.
int MapRange(int x, int in_lo, int in_hi, int out_lo, int out_hi);
// An angle in the dials' range -179 ... 180 (-180 reads as 180).
int NormalizeDialAngle(int angle);

// Number of hex characters the address table needs from the image's first line.
constexpr int AddressTableLength = 74;
// Reads the image's address table into the parameters' addresses. A line too
// short for the table or with a pair that is not hexadecimal throws
// platform::EditorError and changes no address.
void ReadParameterAddresses(const QString& line);
// Whether an algorithm's address table has been read since the model was
// built. Until then the parameters carry placeholder addresses (0, 0xFFFF)
// that must not be written to.
bool ParameterAddressesRead();
// Whether the address table gives the slot's parameter an address. "Range"
// has none: the pedal sets it itself, and the editor never writes it.
bool ParameterHasAddress(int slot);
