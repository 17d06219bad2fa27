#pragma once
// One builder per message the pedal takes. Each gives the hex text that goes
// out (converted to bytes just before the write) and the console lines that
// go with it, so no window ever puts a message together by hand.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

struct PedalMessage {
    QString hex;      // upper-case digit pairs, command code first
    QStringList log;  // the console lines that describe it, in order
    // The pre-upload message: from it on the pedal takes every byte as part
    // of an algorithm image, until it has the length the image's header
    // gives. Nothing else may reach it until then.
    bool announcesImage = false;
    // An algorithm image, the one message a pedal told to expect one takes.
    bool isImage = false;
    // The number of bytes the message has.
    int size() const { return static_cast<int>(hex.size() / 2); }
};

namespace msg {

// 01 + address + value: a live parameter write.
PedalMessage ParameterWrite(std::uint16_t address, std::uint32_t value);
// The same message as the console's Send tool types it: 4 and 8 hex digits.
PedalMessage RawParameterWrite(const QString& addressDigits, const QString& dataDigits);
// 02 00: who the pedal is and what it stores.
PedalMessage DeviceInformationRequest();
// 03 + the five assignable parameters' values: store them on the pedal.
PedalMessage StoreSettings(const std::array<std::uint32_t, 5>& values);
// 04 + five flags + four parameter addresses + the remote footswitch's code.
PedalMessage ControlAssignments(const std::array<bool, 5>& flags,
                                const std::array<std::uint16_t, 5>& codes);
// 05 00: open the effect.
PedalMessage OpenEffect();
// 07 + channel (0 = omni).
PedalMessage MidiChannel(std::uint8_t channel);
// 08 + the short- and long-press codes; a code the buttons do not make is
// left out, as the pedal has always been sent.
PedalMessage FootswitchBehaviour(const QString& shortCode, const QString& longCode);
// 09 + tuning.
PedalMessage Tuning(std::uint8_t tuning);
// 09 + the two note codes (FF: none) of the note cut filter.
PedalMessage NoteFilter(const QString& byte1, const QString& byte2);
// 0B / 0C + start + end: erase or read the pedal's EEPROM.
PedalMessage EepromErase(std::uint16_t start, std::uint16_t end);
PedalMessage EepromRead(std::uint16_t start, std::uint16_t end);
// 7F: the bootloader's synchronisation byte, from which it takes the link's
// baud rate; it answers ACK.
PedalMessage BootloaderSync();
// 0D 00: an algorithm image follows.
PedalMessage PreUpload();
// The algorithm image, as hex text, written whole after PreUpload().
PedalMessage AlgorithmImage(const QString& hex);

}  // namespace msg
