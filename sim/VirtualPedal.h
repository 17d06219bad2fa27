#pragma once
// The virtual pedal: a model of the device as seen from the USB-serial link.
// Bytes the host writes go in through Receive(); what the pedal sends back waits
// in its output queue until the host takes it. It shares no code with the
// editor's message builders or reply decoder, so it cannot agree with their
// mistakes.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

class VirtualPedal {
public:
    VirtualPedal();
    virtual ~VirtualPedal();

    // Host to pedal: the bytes of one write (over a pseudo-terminal: the bytes
    // that arrived together).
    void Receive(const std::uint8_t* data, std::size_t size);

    // Pedal to host.
    std::size_t Pending() const;                       // bytes the host can read now
    std::size_t Take(std::uint8_t* out, std::size_t max);  // reads up to max of them
    void DropPending();                                // the host purged its receive side

    // Tests: queue bytes as if the pedal had sent them.
    void Send(const Bytes& bytes);
    // Every write received, in order.
    const std::vector<Bytes>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }

private:
    std::vector<Bytes> messages_;
    std::deque<std::uint8_t> output_;
};

}  // namespace sim
