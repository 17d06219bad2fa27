// The address table at the start of an algorithm image's first line.
#include <vector>

#include "device/Communication.h"
#include "effects/ParameterModel.h"
#include "fuzz/FuzzSupport.h"
#include "library/Catalogue.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

std::vector<std::uint16_t> Addresses() {
    std::vector<std::uint16_t> addresses;
    for (int slot = 0; slot < ParameterSlotCount; ++slot)
        addresses.push_back(ParameterAt(slot).address());
    return addresses;
}

// Seventeen 16-bit words of hex digits from character 7 on.
bool HoldsATable(const QString& line) {
    if (line.size() < AddressTableLength) return false;
    for (int i = 6; i < AddressTableLength; ++i)
        if (HexDigitValue(line[i]) < 0) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartPlatform();
    if (!ParameterModelBuilt()) BuildParameterModel();
    // The first line of the image resource, read as the settings window reads it.
    const QString line = SplitResourceLines(platform::DecodeText(fuzz::Bytes(data, size))).value(0);
    const auto before = Addresses();
    bool refused = false;
    try {
        ReadParameterAddresses(line);
    } catch (const platform::EditorError& error) {
        refused = true;
        FUZZ_CHECK(!error.message().isEmpty());
    }
    FUZZ_CHECK(refused == !HoldsATable(line));
    // A refused table changes no address.
    if (refused)
        FUZZ_CHECK(Addresses() == before);
    else
        FUZZ_CHECK(ParameterAddressesRead());
    return 0;
}
