#include "tests/firmware/FirmwareFixture.h"

#include "device/Connection.h"
#include "device/PedalLink.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "platform/Console.h"

void FirmwareFixture::SetUp() {
    EditorFixture::SetUp();
    if (!UsesScriptedBootloader()) return;
    auto owned = std::make_unique<ScriptedBootloaderDriver>();
    boot = owned.get();
    ftd::InstallDriver(std::move(owned));
    driver = nullptr;  // the fixture's virtual pedal is gone
}

void FirmwareFixture::TearDown() {
    platform::SetConsoleSink({});
    EditorFixture::TearDown();
}

void FirmwareFixture::OpenBootloader(const QString& serial) {
    ASSERT_EQ(PedalLink::Instance().Open(serial), ftd::FT_OK);
    FirmwareUpgradeMode = true;
    ASSERT_EQ(SynchroniseWithBootloader().received, QStringLiteral("79"));
}

void FirmwareFixture::StartInBootloader() {
    StartEditor();
    formMain->menuFirmwareUpgradeMode->trigger();
    ASSERT_TRUE(FirmwareUpgradeMode);
    formMain->menuConnect->trigger();
    ASSERT_EQ(dialogs->messages,
              QStringList{"Connection to bootloader succeeded, ready for firmware upgrade"});
    dialogs->messages.clear();
    ASSERT_TRUE(formMain->menuStartFirmwareUpgrade->isEnabled());
    formMain->menuStartFirmwareUpgrade->trigger();
    ASSERT_TRUE(formFirmwareUpgrade->isVisible());
}

void FirmwareFixture::Choose(const QString& text) {
    auto* combo = formFirmwareUpgrade->findChild<QComboBox*>(QStringLiteral("cmbFirmwareChoose"));
    combo->setCurrentIndex(combo->findText(text));
}

void FirmwareFixture::ClickUpgrade() {
    formFirmwareUpgrade->findChild<QPushButton*>(QStringLiteral("btnUpgradeFirmware"))->click();
}

void FirmwareFixture::CaptureConsole() {
    captured.clear();
    // Lines logged before any console existed are handed to the first sink;
    // they belong to no capture.
    platform::SetConsoleSink([](const QString&, platform::Scroll) {});
    platform::SetConsoleSink([this](const QString& line, platform::Scroll scroll) {
        captured << (scroll == platform::Scroll::ToEnd ? QStringLiteral("P ")
                                                       : QStringLiteral("A ")) +
                        line;
    });
}

namespace {
class TimelineClock : public platform::Clock {
public:
    explicit TimelineClock(std::function<void(const QString&)> record)
        : record_(std::move(record)) {}
    void SleepMs(int milliseconds) override { record_(QStringLiteral("s%1").arg(milliseconds)); }
    void BusyPause(std::uint64_t iterations) override {
        record_(iterations == 1000001 ? QStringLiteral("b")
                                      : QStringLiteral("b%1").arg(iterations));
    }

private:
    std::function<void(const QString&)> record_;
};
}  // namespace

void FirmwareFixture::RecordTimeline() {
    events_.clear();
    const std::size_t from = boot->Writes().size();
    auto record = [this, from](const QString& event) {
        events_.emplace_back(boot->Writes().size() - from, event);
    };
    platform::InstallClock(std::make_unique<TimelineClock>(record));
    clock = nullptr;
    dialogs->onMessage = [record](const QString&) { record(QStringLiteral("MSG")); };
    timelineFrom_ = from;
}

QString FirmwareFixture::Timeline() const {
    QStringList parts;
    std::size_t next = 0;
    const auto& writes = boot->Writes();
    for (std::size_t w = timelineFrom_; w <= writes.size(); ++w) {
        while (next < events_.size() && events_[next].first == w - timelineFrom_)
            parts << events_[next++].second;
        if (w == writes.size()) break;
        parts << QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(writes[w].data()),
                                                static_cast<qsizetype>(writes[w].size()))
                                         .toHex(':')
                                         .toUpper());
    }
    return parts.join(QLatin1Char(' '));
}

QByteArray TestImage(int size) {
    QByteArray image(size, '\0');
    std::uint32_t state = 0x2545F491u;
    for (int k = 0; k < size; ++k) {
        state = state * 1664525u + 1013904223u;
        image[k] = static_cast<char>(state >> 24);
    }
    return image;
}

sim::Bytes ToBytes(const QByteArray& bytes) {
    return sim::Bytes(bytes.begin(), bytes.end());
}
