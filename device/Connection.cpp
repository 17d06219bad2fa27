#include "device/Connection.h"

#include "device/Communication.h"
#include "effects/PedalModel.h"
#include "firmware/Bootloader.h"
#include "platform/Console.h"
#include "platform/Errors.h"

bool DeviceConnected = false;
bool BootloaderConnected = false;
bool ReadBackActive = false;
QString FirmwareVersion;
QString AlgorithmVersion;
QString EffectNumber;

bool PedalTakesSettings() {
    const PedalLink& link = PedalLink::Instance();
    return DeviceConnected && link.IsOpen() && !link.AwaitsImage() && !FirmwareUpgradeMode &&
           !BootloaderConnected;
}

ExchangeResult RequestDeviceInformation(const std::function<void()>& readBack) {
    Exchange exchange;
    exchange.what = QStringLiteral("Request");
    exchange.message = msg::DeviceInformationRequest();
    exchange.answer = AnswerShape::LinesOf(static_cast<int>(kDeviceInformationValues));
    exchange.purgeTransmitFirst = true;
    // The pedal needs the time to put its answer together.
    exchange.pauseBeforeReadMs = 200;
    exchange.onWhole = [&readBack](ExchangeResult& result) {
        // Decoded before anything is applied: a malformed answer changes nothing.
        const std::vector<std::uint8_t> values = DecodeReplyValues(result.answer);
        if (values.size() != kDeviceInformationValues) {
            result.status = ExchangeResult::Status::Incomplete;
            result.problem = QStringLiteral(
                                 "The pedal's answer was not understood: %1 values "
                                 "instead of %2.")
                                 .arg(values.size())
                                 .arg(kDeviceInformationValues);
            ConsolePrint(QStringLiteral("received (not used): ") +
                         BytesToHex(result.answer.left(64)));
            return;
        }
        // The decoder makes a value of any line, and one that is not a value
        // would put every value after it one place on: such an answer is
        // not applied at all.
        if (const int line = FirstLineNotAValue(result.answer); line > 0) {
            result.status = ExchangeResult::Status::Incomplete;
            result.problem = QStringLiteral(
                                 "The pedal's answer was not understood: line %1 is not a value "
                                 "of one to three digits.")
                                 .arg(line);
            ConsolePrint(QStringLiteral("received (not used): ") +
                         BytesToHex(result.answer.left(64)));
            return;
        }
        ReplyValues = values;
        LogReplyValues(values.size());

        FirmwareVersion = Hex2(ReplyValues[0]);
        ConsolePrint(QStringLiteral("Firmware Version: ") + FirmwareVersion);
        AlgorithmVersion = Hex2(ReplyValues[1]) + Hex2(ReplyValues[2]);
        ConsolePrint(QStringLiteral("Algorithm version: ") + AlgorithmVersion);
        EffectNumber = Hex2(ReplyValues[3]);
        ConsolePrint(QStringLiteral("Effect Number: ") + EffectNumber);
        Model().SetIdentity({ReplyValues[0],
                             static_cast<std::uint16_t>(ReplyValues[1] * 256 + ReplyValues[2]),
                             ReplyValues[3]});
        if (readBack) readBack();
    };
    return PedalLink::Instance().Run(exchange);
}

namespace {

ExchangeResult SendSyncByte() {
    Exchange exchange;
    exchange.what = QStringLiteral("the bootloader's synchronisation");
    exchange.message = msg::BootloaderSync();
    exchange.answer = AnswerShape::BytesOf(1);
    // A bootloader answers at once; a pedal that runs its effect, or a
    // bootloader that is already synchronised, never does.
    exchange.firstByteTimeoutMs = kBootloaderSyncTimeoutMs;
    const ExchangeResult result = PedalLink::Instance().Run(exchange);
    if (result.status != ExchangeResult::Status::Cancelled)
        ConsolePrint(QStringLiteral("num of bytes received: ") +
                     QString::number(result.answer.size()));
    return result;
}

// The filler of ResyncBootloader after the sync bytes; received is what the
// last sync byte got.
BootloaderSync ResyncAfterSync(const QString& received) {
    PedalLink& link = PedalLink::Instance();
    if (!link.IsOpen()) return {received, false};
    const PedalLink::Hold hold(link, QStringLiteral("the bootloader's synchronisation"));
    if (!hold.acquired()) return {received, false};
    const BootloaderResync resync = ResyncBootloader();
    if (resync.outcome == BootloaderResync::Outcome::InStep) return {QStringLiteral("1F"), true};
    return {received, false};
}

}  // namespace

BootloaderSync SynchroniseWithBootloader() {
    using Status = ExchangeResult::Status;
    const ExchangeResult first = SendSyncByte();
    if (first.status == Status::Cancelled) return {};
    if (first.status != Status::NoAnswer || !PedalLink::Instance().IsOpen()) {
        const QString text = BytesToHex(first.answer.left(1));
        if (text != QLatin1String("79")) return {text, false};
        // A freshly started bootloader acknowledges the sync byte, but so does
        // one left in the middle of a command whose phase the byte happened
        // to complete. After a sync the filler costs a synchronised
        // bootloader two bytes.
        if (!BootloaderMidCommand) return {text, true};
        return ResyncAfterSync(text);
    }
    // After an upgrade that stopped, the pedal stays in a bootloader that is
    // still synchronised; a Disconnect and Connect must find it again rather
    // than leave the user to switch the pedal off and on.
    ConsolePrint(
        QStringLiteral("no answer to the sync byte; sending it again in case the bootloader is "
                       "already synchronised"));
    const ExchangeResult second = SendSyncByte();
    if (second.status == Status::Cancelled) return {};
    const QString text = BytesToHex(second.answer.left(1));
    if (text == QLatin1String("1F")) {
        ConsolePrint(QStringLiteral("the bootloader was already synchronised"));
        BootloaderMidCommand = false;
        return {text, true};
    }
    // A bootloader in the middle of a command takes sync bytes as its rest,
    // in silence or with an ACK for a phase they complete. Only a bootloader
    // this run left that way gets the filler: a pedal running its effect,
    // which never answers the sync byte either, must not.
    if (!BootloaderMidCommand || !(text.isEmpty() || text == QLatin1String("79")))
        return {text, false};
    return ResyncAfterSync(text);
}
