#pragma once
// What quendle-pedal-sim does between the terminal and the virtual pedal:
// its command line, the pedal set up as the options ask, and the bytes read
// from and written to the terminal. pty_main.cpp owns only the terminal
// itself, so this part can be driven without one (the fuzz target does).

#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/VirtualPedal.h"

namespace sim {

struct PtyOptions {
    bool bootloader = false;
    bool bootOnSync = false;
    int firmwareVersion = -1;
    // Every reply (the bootloader's too) in pieces of this many bytes (0:
    // whole), this far apart.
    int pieceBytes = 0;
    int pieceGapMs = 0;
    bool silent = false;
    bool corrupt = false;
    std::uint32_t corruptAddress = 0;
    std::string link;
    bool paced = false;
    bool verbose = false;
    // Commands on standard input change the faults while the pedal runs and
    // report its state (see PtyFrontEnd::Command).
    bool commands = false;
};

void PrintPtyUsage(std::FILE* to);
// Returns false (after saying why on standard error) when the command line is
// not usable; help is set by --help or -h.
bool ParsePtyOptions(int argc, char** argv, PtyOptions& options, bool& help);

class PtyFrontEnd {
public:
    // nowMs: the pedal's clock; empty for the steady clock.
    explicit PtyFrontEnd(const PtyOptions& options, Clock nowMs = {});

    VirtualPedal& Pedal() { return pedal_; }
    // The bytes of one read from the terminal. Over a stream a message may be
    // cut anywhere, so the pedal joins pieces that follow each other closely.
    void Received(const std::uint8_t* data, std::size_t size);
    // What is to be written to the terminal now: what is left from earlier
    // writes, then whatever the pedal has made ready since.
    const Bytes& Outbox();
    // The first n bytes of the outbox reached the terminal.
    void Written(std::size_t n);
    // How long a wait for the terminal may take: a short turn while the pedal
    // holds bytes that become due later, else until something happens.
    int WaitMs() const;

    // One line of --commands; returns the one line that answers it, so that a
    // test driving the pedal knows the change is in effect before it goes on:
    //   state            "state received N footswitch F tuning T assignments
    //                    HEX30 values V0 ... V14" (hex): what the pedal holds
    //                    and how many bytes it has read from the terminal
    //   pieces N GAP     every answer in pieces of N bytes GAP ms apart (N 0: whole)
    //   split N GAP      the next answer in two: its first N bytes, the rest GAP ms later
    //   silent on|off    carry out requests without answering them, or answer again
    //   cut N            the next answer only its first N bytes
    //   flash ADDRESS LENGTH  "flash HEX": LENGTH bytes of flash from ADDRESS
    //                    (0x...), as the pedal holds them
    //   boot-fault STEP silent|byte HH  the bootloader's STEP-th ACK/NACK
    //                    (counted since it was entered; the sync answer is 0)
    //                    never comes, or is the byte HH
    // Anything else answers "error ...", a change "ok".
    std::string Command(const std::string& line);
    // Bytes read from the terminal since the start.
    std::uint64_t ReceivedBytes() const { return received_; }

private:
    void SetPieces(int bytes, int gapMs);

    VirtualPedal pedal_;
    Bytes outbox_;
    std::uint64_t received_ = 0;
};

}  // namespace sim
