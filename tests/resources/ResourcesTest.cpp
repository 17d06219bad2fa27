// The data resources the editor carries: the catalogue, the algorithm and
// firmware images, the information document and the icon, found by name
// whatever its letter case.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QXmlStreamReader>
#include <cstdint>

#include "platform/Resources.h"

namespace {

QByteArray StoredBytes(const QString& storedName) {
    QFile file(QStringLiteral(":/quendle/") + storedName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

std::uint32_t Word32LE(const QByteArray& bytes, int offset) {
    auto b = [&](int i) { return std::uint32_t(std::uint8_t(bytes[offset + i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

TEST(Catalogue, ListsTheShippedAlgorithmOnOneCrLfLine) {
    EXPECT_EQ(platform::ReadResource(QStringLiteral("octave")), QByteArray("Quendle MK3 0008\r\n"));
}

TEST(ResourceLookup, FindsEveryResourceWhateverTheCaseOfTheName) {
    const struct {
        const char* asked;
        const char* stored;
    } cases[] = {
        {"octave", "OCTAVE"},
        {"Octave", "OCTAVE"},
        {"OCTAVE", "OCTAVE"},
        {"Quendle_MK3_0008", "QUENDLE_MK3_0008"},
        {"quendle_mk3_0008", "QUENDLE_MK3_0008"},
        {"Firmware_4", "FIRMWARE_4"},
        {"firmware_4", "FIRMWARE_4"},
        {"Style_0", "STYLE_0"},
        {"style_7", "STYLE_7"},
        {"FXInfo_Quendle_MK3_0008.html", "FXINFO_QUENDLE_MK3_0008.HTML"},
        {"app_icon.svg", "APP_ICON.SVG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        const QByteArray stored = StoredBytes(QString::fromLatin1(c.stored));
        ASSERT_FALSE(stored.isEmpty()) << "nothing stored as " << c.stored;
        auto found = platform::FindResource(QString::fromLatin1(c.asked));
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, stored);
    }
}

TEST(ResourceLookup, NamesNotCarriedAreNotFound) {
    for (const char* name : {"", "effect_list", "Style_8", "octave ", "Quendle MK3 0008",
                             "QUENDLE_MK3_0008.HEX", "FIRMWARE"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(platform::HasResource(QString::fromLatin1(name)));
        EXPECT_FALSE(platform::FindResource(QString::fromLatin1(name)).has_value());
    }
}

TEST(ResourceLookup, NamesAreStoredInCapitals) {
    const QStringList names = platform::ResourceNames();
    for (const char* required : {"OCTAVE", "QUENDLE_MK3_0008", "FIRMWARE_4", "STYLE_0", "STYLE_1",
                                 "STYLE_2", "STYLE_3", "STYLE_4", "STYLE_5", "STYLE_6", "STYLE_7",
                                 "FXINFO_QUENDLE_MK3_0008.HTML", "APP_ICON.SVG"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(required))) << required;
    for (const QString& name : names) EXPECT_EQ(name, name.toUpper());
}

TEST(AlgorithmImage, IsOneLineOfHexWithTheHeaderAndAddressTableTheEditorReads) {
    const QByteArray stored = platform::ReadResource(QStringLiteral("Quendle_MK3_0008"));
#ifdef QUENDLE_STANDIN_IMAGES
    EXPECT_FALSE(stored.contains('\n') || stored.contains('\r')) << "the stand-in is one bare line";
#endif
    // The editor reads the first line only.
    const QByteArray text = stored.split('\n').constFirst().split('\r').constFirst();
    ASSERT_EQ(text.size(), 9280);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\\A[0-9A-F]+\\z"))
                    .match(QString::fromLatin1(text))
                    .hasMatch())
        << "not upper-case hex digits";

    const QByteArray image = QByteArray::fromHex(text);
    ASSERT_EQ(image.size(), 4640);
    EXPECT_EQ(std::uint8_t(image[0]), 0x00);
    EXPECT_EQ(std::uint8_t(image[1]) << 8 | std::uint8_t(image[2]), image.size())
        << "bytes 1-2 must hold the image's length";

    // word index -> the parameter's DSP address (words 9 to 11 are not used)
    const struct {
        int word;
        int address;
    } table[] = {{0, 0x000B},  {1, 0x00E8},  {2, 0x0077},  {3, 0x0073}, {4, 0x0003},
                 {5, 0x00CC},  {6, 0x00DE},  {7, 0x00A0},  {8, 0x00E9}, {12, 0x000A},
                 {13, 0x006E}, {14, 0x00E7}, {15, 0x001B}, {16, 0x000C}};
    for (const auto& entry : table) {
        const int at = 3 + 2 * entry.word;
        EXPECT_EQ(std::uint8_t(image[at]) << 8 | std::uint8_t(image[at + 1]), entry.address)
            << "word " << entry.word;
    }
#ifdef QUENDLE_STANDIN_IMAGES
    EXPECT_TRUE(image.mid(37).startsWith("QUENDLE STAND-IN"))
        << "a stand-in must say so right after its address table";
#endif
}

TEST(FirmwareImage, IsACortexMImageLaidOutToRunFromTheStartOfFlash) {
    const QByteArray image = platform::ReadResource(QStringLiteral("Firmware_4"));
    ASSERT_EQ(image.size(), 53704);

    constexpr std::uint32_t kFlash = 0x08000000;
    const std::uint32_t end = kFlash + std::uint32_t(image.size());
    const std::uint32_t stack = Word32LE(image, 0);
    EXPECT_GT(stack, 0x20000000u) << "initial stack pointer outside SRAM";
    EXPECT_LE(stack, 0x20005000u) << "initial stack pointer beyond the 20 KiB of SRAM";
    EXPECT_EQ(stack % 8, 0u) << "the stack must start 8-byte aligned";

    // Reset, NMI, HardFault, MemManage, BusFault, UsageFault, SVCall, DebugMon,
    // PendSV, SysTick: each must be Thumb code (odd) inside the image.
    for (int vector : {1, 2, 3, 4, 5, 6, 11, 12, 14, 15}) {
        const std::uint32_t handler = Word32LE(image, 4 * vector);
        SCOPED_TRACE(vector);
        EXPECT_EQ(handler & 1u, 1u) << "handler not marked as Thumb code";
        EXPECT_GE(handler, kFlash);
        EXPECT_LT(handler, end);
    }
#ifdef QUENDLE_STANDIN_IMAGES
    EXPECT_TRUE(image.contains("QUENDLE STAND-IN FIRMWARE 4"));
#endif
}

TEST(InfoDocument, DescribesEveryControlOfTheSettingsWindowAndNeedsNothingFromOutside) {
    const QByteArray bytes = platform::ReadResource(QStringLiteral("FXINFO_QUENDLE_MK3_0008.HTML"));
    const QString html = QString::fromUtf8(bytes);
    ASSERT_EQ(html.toUtf8(), bytes) << "not valid UTF-8";
    EXPECT_TRUE(html.contains(QStringLiteral("<title>Quendle MK3 0008</title>")));
    for (const char* label : {"Dry", "Sub Mix", "-1 OCT", "-2 OCT", "Low Pass", "High Pass",
                              "Range", "Wave", "Split", "Input Level", "Wave Clip", "1st Harmonic",
                              "1st Harmonic Pitch", "Dominant Notes Cut", "High Notes Cut"})
        EXPECT_TRUE(html.contains(QLatin1String(label))) << label;
    // The window shows the page from a local file, often with no network.
    for (const char* outside : {"http:", "https:", "src=", "<script", "@import"})
        EXPECT_FALSE(html.contains(QLatin1String(outside), Qt::CaseInsensitive)) << outside;
}

TEST(AppIcon, IsASquareSvgDrawingThatNeedsNothingFromOutside) {
    const QByteArray svg = platform::ReadResource(QStringLiteral("APP_ICON.SVG"));
    QXmlStreamReader xml(svg);
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QLatin1String("svg"));
    EXPECT_EQ(xml.attributes().value(QLatin1String("viewBox")), QLatin1String("0 0 128 128"));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            EXPECT_NE(xml.name(), QLatin1String("image")) << "no embedded or linked bitmaps";
            for (const auto& attribute : xml.attributes())
                EXPECT_FALSE(attribute.value().startsWith(QLatin1String("http")))
                    << attribute.name().toString().toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
}

}  // namespace
