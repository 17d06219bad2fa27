#pragma once
// The settings the pedal keeps: reading them back from the device
// information reply into the settings window, and storing the assignable
// parameters' values on the pedal.

#include <cstddef>
#include <cstdint>
#include <vector>

// The footswitch behaviour code of the last read-back: short-press code * 2 +
// long-press code.
extern std::uint16_t FootswitchMode;
// The fifteen values of the last read-back, in slot order.
extern std::vector<std::uint32_t> ReadBackValues;

// Reads the address table of the selected algorithm (or, with none selected,
// of the catalogue's entry for the algorithm version the pedal reported)
// unless one has been read: the read-back matches assignments against it.
void EnsureParameterAddresses();

// The read-back steps, each given the index in ReplyValues where its field
// starts; the device information request calls them with 4, 5, 20 and 21.
// Each moves the settings window's controls, whose change handlers then run
// as for a user's change. The reply must hold every index a step reads.
void ReadFootswitchMode(std::size_t index);
void ReadAssignments(std::size_t index);
void ReadTuning(std::size_t index);
void ReadParameterValues(std::size_t index);
