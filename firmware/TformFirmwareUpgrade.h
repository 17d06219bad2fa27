#pragma once
// The Firmware Upgrade window: the user picks one of the firmware images the
// editor carries and starts the upgrade through the pedal's bootloader.

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "platform/DeferredWindow.h"

// The chosen image's resource name (the item text) and the version read from
// its last character; empty and 0 until a choice is made.
extern QString FirmwareResourceName;
extern std::int32_t FirmwareVersionNumber;
// True while an upgrade runs (its reply waits keep the window responsive).
extern bool FirmwareUpgradeRunning;

// Loads the resource named FirmwareResourceName into FirmwareSize and
// FirmwareHexText.
void LoadFirmwareImage();

class TformFirmwareUpgrade : public QWidget {
    Q_OBJECT
public:
    explicit TformFirmwareUpgrade(QWidget* parent = nullptr);
    ~TformFirmwareUpgrade() override;

    QComboBox* cmbFirmwareChoose;
    QPushButton* btnUpgradeFirmware;
    QProgressBar* ProgressBar1;
    // Shown while an upgrade runs.
    QLabel* lblDoNotUnplug;

    void FormCreate();
    void FirmwareSelect();
    void btnUpgradeFirmwareClick();

protected:
    // The window stays open while an upgrade runs: its bar and its warning
    // not to unplug the pedal are the only signs that the flash is being written.
    void closeEvent(QCloseEvent* event) override;

signals:
    // An upgrade starts (true) or ends however it ends (false); the main window
    // locks its connection commands meanwhile.
    void upgradeRunningChanged(bool running);

private:
    // The step under way, on the bar: its text and, for the block phases, the
    // block as the bar's position out of the block count.
    void ShowStep(const QString& text, int position = 0, int maximum = 0);
    void ShowBlock(const QString& phase, int block);
    // The window's own controls and the main window's locks for a running upgrade.
    void SetRunning(bool running);
};

// Built when first used (see DeferredWindow).
extern DeferredWindow<TformFirmwareUpgrade> formFirmwareUpgrade;
