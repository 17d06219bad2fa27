#pragma once
// The one place the fuzz targets reach the editor's reply decoder, so that a
// change of its shape (a function returning the values instead of filling
// ReplyValues) is a change of this body only.

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

#include "device/Communication.h"
#include "platform/Errors.h"

namespace fuzz {

// The values decoded from one reply, empty when it holds none; nothing when
// the decoder refuses the reply (a digit position that is not a digit).
inline std::optional<std::vector<std::uint8_t>> DecodeReplyBytes(const QByteArray& reply) {
    ReplyValues.clear();
    try {
        DecodeReply(reply);
    } catch (const platform::ConversionError&) {
        return std::nullopt;
    }
    return ReplyValues;
}

}  // namespace fuzz
