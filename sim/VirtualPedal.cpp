#include "sim/VirtualPedal.h"

#include <algorithm>

namespace sim {

VirtualPedal::VirtualPedal() = default;
VirtualPedal::~VirtualPedal() = default;

void VirtualPedal::Receive(const std::uint8_t* data, std::size_t size) {
    messages_.emplace_back(data, data + size);
}

std::size_t VirtualPedal::Pending() const { return output_.size(); }

std::size_t VirtualPedal::Take(std::uint8_t* out, std::size_t max) {
    const std::size_t n = std::min(max, output_.size());
    std::copy_n(output_.begin(), n, out);
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void VirtualPedal::DropPending() { output_.clear(); }

void VirtualPedal::Send(const Bytes& bytes) { output_.insert(output_.end(), bytes.begin(), bytes.end()); }

}  // namespace sim
