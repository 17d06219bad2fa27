// style.txt, read at start-up for the look to apply.
#include <QApplication>
#include <QFile>

#include "app/LookSettings.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Files.h"
#include "platform/Resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartPlatform();
    static bool started = false;
    if (!started) {
        platform::CreateFolder(platform::MakerFolder());
        FUZZ_CHECK(ApplyLook(3));
        started = true;
    }
    const QByteArray bytes = fuzz::Bytes(data, size);
    QFile file(StyleFilePath());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
    file.close();

    const QString before = qApp->styleSheet();
    ApplyRememberedLook();
    const QString after = qApp->styleSheet();

    // Text that is no whole number gives the first look; a number that names
    // no look leaves the one in force; there is never a look of another kind.
    const int index = LookIndexFromText(platform::DecodeText(bytes)).value_or(0);
    const auto sheet = platform::FindResource(QStringLiteral("Style_") + QString::number(index));
    FUZZ_CHECK(sheet.has_value() == (index >= 0 && index <= 7));
    FUZZ_CHECK(after == (sheet ? QString::fromUtf8(*sheet) : before));
    return 0;
}
