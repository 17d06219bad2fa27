// Impulse-response WAV files through File > Load IR, with one of the
// impulse-response algorithms or the built-in one selected (first byte).
#include <array>

#include "app/TformMain.h"
#include "fuzz/FuzzSupport.h"
#include "library/Catalogue.h"
#include "library/ImpulseResponse.h"
#include "platform/ErrorReport.h"
#include "platform/Resources.h"

namespace {

constexpr std::array<const char*, 5> kAlgorithms = {
    "Cab Sim 1", "Amber Fuzz + Cab Sim", "TRV + Cab Sim", "Plain Cab Sim", "Quendle MK3 0008"};

// The impulse-response images are not shipped; stand-ins of the shipped
// image's length take their place, every position telling where it came from.
QString StandInImage() {
    QString text;
    for (int k = 0; k < 9280; ++k) text += QLatin1Char("0123456789ABCDEF"[(k * 7) % 16]);
    return text;
}

bool AllHex(const QString& text) {
    for (QChar c : text)
        if (!c.isDigit() && (c < QLatin1Char('A') || c > QLatin1Char('F'))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartEditor();
    static const QString image = StandInImage();
    static bool registered = false;
    if (!registered) {
        for (const char* name :
             {"Cab_Sim_1", "Amber_Fuzz_plus_Cab_Sim", "TRV_plus_Cab_Sim", "Plain_Cab_Sim"})
            platform::RegisterResource(QString::fromLatin1(name), image.toLatin1());
        registered = true;
    }
    if (size < 1) return 0;
    const QString algorithm = QString::fromLatin1(kAlgorithms[data[0] % kAlgorithms.size()]);
    const QByteArray file = fuzz::Bytes(data + 1, size - 1);

    auto& dialogs = fuzz::FreshDialogs();
    dialogs.fileNames.push_back(fuzz::WriteFile(QStringLiteral("ir.wav"), file));
    SelectedAlgorithmName = algorithm;
    IrImageText = QStringLiteral("previous");
    FUZZ_CHECK(platform::Guard([] { formMain->menuLoadIRClick(); }));

    // Every load ends in one message: the summary or why the file was refused.
    FUZZ_CHECK(dialogs.messages.size() == 1);
    const bool loaded = dialogs.messages[0].startsWith(QStringLiteral("Selected file data:"));
    if (!loaded) {
        FUZZ_CHECK(IrImageText == QStringLiteral("previous"));
        return 0;
    }
    const IrAlgorithm* ir = FindIrAlgorithm(algorithm);
    if (!ir) return 0;
    // The samples fill the image's region exactly and change nothing else.
    FUZZ_CHECK(IrImageText.size() == image.size());
    const qsizetype before = ir->regionStart - 1;
    FUZZ_CHECK(IrImageText.left(before) == image.left(before));
    FUZZ_CHECK(IrImageText.mid(before + ir->regionLength) == image.mid(before + ir->regionLength));
    FUZZ_CHECK(AllHex(IrImageText.mid(before, ir->regionLength)));
    return 0;
}
