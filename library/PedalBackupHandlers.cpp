// File → Back Up Pedal... and Restore Pedal...: the whole pedal to a backup
// file and back.
#include <QDate>
#include <QFileInfo>

#include "app/MainWindowConnection.h"
#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/PedalLink.h"
#include "effects/ControlAssignments.h"
#include "effects/PedalModel.h"
#include "effects/StoredSettings.h"
#include "effects/TformFXsettings.h"
#include "library/PedalBackup.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Time.h"

namespace {

// What the pedal needs after a message that it stores before it takes the next.
constexpr int kStorePauseMs = 100;

const QString kRestoreStopped = QStringLiteral(
    "The restore stopped: the pedal could not be sent its settings. Read them back "
    "with Request to see what it holds.");

platform::FileDialogOptions BackupDialogOptions(const QString& title) {
    platform::FileDialogOptions options;
    options.title = title;
    options.filter = QStringLiteral("Pedal backups (*.json)|*.json");
    options.defaultExtension = QStringLiteral("json");
    options.initialFolder = platform::ProductFolder();
    return options;
}

PedalBackup BackupOfModel() {
    const PedalModel& model = Model();
    PedalBackup backup;
    backup.firmwareVersion = model.identity()->firmwareVersion;
    backup.algorithmVersion = model.identity()->algorithmVersion;
    backup.effectNumber = model.identity()->effectNumber;
    backup.footswitchCode = model.FootswitchCode();
    for (int c = 0; c < AssignableControlCount; ++c)
        backup.assignments[static_cast<std::size_t>(c)] = model.AssignmentEntry(c);
    backup.tuning = model.Tuning();
    for (int s = 0; s < ParameterSlotCount; ++s)
        backup.values[static_cast<std::size_t>(s)] = model.Value(s);
    return backup;
}

QString FootswitchText(std::uint8_t code) {
    // The long press counts the other way round: 0 is "Change Preset".
    return QStringLiteral("short press %1, long press %2")
        .arg(code / 2 ? QStringLiteral("Change Preset") : QStringLiteral("Bypass"),
             code % 2 ? QStringLiteral("Bypass") : QStringLiteral("Change Preset"));
}

QString EntryText(int control, int entry) {
    const auto& items = AssignmentListItems(control);
    return entry >= 0 && entry < static_cast<int>(items.size())
               ? items[static_cast<std::size_t>(entry)]->text
               : QString::number(entry);
}

QString TuningText(std::uint8_t tuning) {
    return formFXsettings && tuning < formFXsettings->cmbGuitarTuning->count()
               ? formFXsettings->cmbGuitarTuning->itemText(tuning)
               : QString::number(tuning);
}

const char* const kControlNames[AssignableControlCount] = {"Control I", "Control II", "Control III",
                                                           "Control IV", "Remote Footswitch"};

// One line per setting in which the model differs from the backup: "what:
// now → backup". The effect number is named only when asked for: a restore
// cannot change it, so it never makes a restore fail.
QStringList Differences(const PedalBackup& backup, bool withEffectNumber) {
    const PedalBackup now = BackupOfModel();
    QStringList lines;
    const QString arrow = QStringLiteral(" \u2192 ");
    if (withEffectNumber && now.effectNumber != backup.effectNumber)
        lines << QStringLiteral(
                     "Effect number: the pedal runs %1, the backup was made with %2 "
                     "(a restore does not change it)")
                     .arg(now.effectNumber)
                     .arg(backup.effectNumber);
    for (int c = 0; c < AssignableControlCount; ++c) {
        const int is = now.assignments[static_cast<std::size_t>(c)];
        const int was = backup.assignments[static_cast<std::size_t>(c)];
        if (is != was)
            lines << QLatin1String(kControlNames[c]) + QStringLiteral(": ") + EntryText(c, is) +
                         arrow + EntryText(c, was);
    }
    if (now.footswitchCode != backup.footswitchCode)
        lines << QStringLiteral("Footswitch: ") + FootswitchText(now.footswitchCode) + arrow +
                     FootswitchText(backup.footswitchCode);
    if (now.tuning != backup.tuning)
        lines << QStringLiteral("Tuning: ") + TuningText(now.tuning) + arrow +
                     TuningText(backup.tuning);
    for (int s = 0; s < ParameterSlotCount; ++s) {
        const auto at = static_cast<std::size_t>(s);
        if (now.values[at] != backup.values[at])
            lines << ParameterAt(s).name() + QStringLiteral(": ") + Hex8(now.values[at]) + arrow +
                         Hex8(backup.values[at]);
    }
    return lines;
}

// Sends one message of the restore; false (and the user told) when the link
// refused it or the write failed. Nothing is purged on the way: a purge of the
// transmit side would throw away the restore's own messages still on their
// way to the pedal.
bool SendStep(const PedalMessage& message, int pauseMs) {
    for (const QString& line : message.log) ConsolePrint(line);
    if (!PedalLink::Instance().Send(message)) {
        platform::ShowMessage(kRestoreStopped);
        return false;
    }
    if (pauseMs > 0) platform::SleepMs(pauseMs);
    return true;
}

// Puts the backup into the model and sends the pedal every message that makes
// it hold the same: assignments, footswitch behaviour, tuning, the fifteen
// live writes, and the store of the assignable parameters.
bool SendBackup(const PedalBackup& backup) {
    PedalModel& model = Model();
    for (int c = 0; c < AssignableControlCount; ++c) {
        const int entry = backup.assignments[static_cast<std::size_t>(c)];
        model.SetAssignmentEntry(c, entry);
        ControlAssigned[static_cast<std::size_t>(c)] = entry != 0;
    }
    model.SetFootswitchCode(backup.footswitchCode);
    model.SetTuning(backup.tuning);
    // The backup's own values go in after the assignments: a restore puts
    // back the tracking values it saved, not ones derived from the tuning.
    if (!SendStep(BuildAssignMessage(), kStorePauseMs)) return false;
    if (!SendStep(BuildFootswitchMessage(), kStorePauseMs)) return false;
    if (!SendStep(msg::Tuning(backup.tuning), kStorePauseMs)) return false;
    // A parameter without an address (Range) is the pedal's own: the
    // read-back's comparison says whether it matches the backup.
    for (int s = 0; s < ParameterSlotCount; ++s)
        if (ParameterHasAddress(s) &&
            !model.SetValue(s, backup.values[static_cast<std::size_t>(s)], true)) {
            platform::ShowMessage(kRestoreStopped);
            return false;
        }
    // The read-back that follows purges the transmit side: the writes and the
    // store are given the time to reach the pedal first.
    platform::SleepMs(kStorePauseMs);
    return SendStep(msg::StoreSettings({model.Value(SlotInputLevel), model.Value(SlotHarmonicPitch),
                                        model.Value(SlotWaveClip), model.Value(SlotDominantNoteCut),
                                        model.Value(SlotHighNotesCut)}),
                    kStorePauseMs);
}

}  // namespace

void TformMain::menuBackUpPedalClick() {
    if (!Model().identity() || !Model().HoldsValues()) {
        platform::ShowMessage(
            QStringLiteral("Read the pedal's settings with Request first: a backup names the "
                           "algorithm its settings belong to."));
        return;
    }
    const PedalBackup backup = BackupOfModel();
    platform::CreateFolder(platform::ProductFolder());
    auto options = BackupDialogOptions(QStringLiteral("Back Up Pedal"));
    options.proposedName =
        QStringLiteral("Pedal backup %1.json").arg(QDate::currentDate().toString(Qt::ISODate));
    const auto path = platform::dialogs().SaveFileName(options);
    if (!path) return;
    try {
        platform::WriteFileAtomically(*path, BackupFileBytes(backup));
    } catch (const platform::EditorError& error) {
        platform::ShowMessage(QStringLiteral("The backup was not saved: ") + error.message());
        return;
    }
    platform::ShowMessage(QStringLiteral("Backup saved: ") + *path);
}

void TformMain::menuRestorePedalClick() {
    PedalLink& link = PedalLink::Instance();
    if (!link.IsOpen()) {
        platform::ShowMessage(QStringLiteral("Connect to the pedal before restoring a backup."));
        return;
    }
    if (link.RefuseIfBusy()) return;
    platform::CreateFolder(platform::ProductFolder());
    const auto path =
        platform::dialogs().OpenFileName(BackupDialogOptions(QStringLiteral("Restore Pedal")));
    if (!path) return;

    const QString name = QFileInfo(*path).fileName();
    BackupReading reading;
    try {
        reading = BackupFromFile(platform::ReadWholeFile(*path, kMaxBackupFileBytes));
    } catch (const platform::EditorError& error) {
        platform::ShowMessage(
            QStringLiteral("The backup was not read: %1 Nothing was sent.").arg(error.message()));
        return;
    }
    if (!reading.backup) {
        platform::ShowMessage(
            QStringLiteral("\"%1\": %2 Nothing was sent.").arg(name, reading.problem));
        return;
    }
    const PedalBackup& backup = *reading.backup;

    // The backup is compared with what the pedal runs and holds now.
    if (!Model().identity()) {
        const ExchangeResult result = ReadSettingsBack();
        if (!result.whole()) {
            if (!result.problem.isEmpty()) platform::ShowMessage(result.problem);
            return;
        }
    }
    const std::uint16_t running = Model().identity()->algorithmVersion;
    if (backup.algorithmVersion != running) {
        platform::ShowMessage(
            QStringLiteral("\"%1\" was made with algorithm version %2; the pedal runs %3, whose "
                           "settings it does not fit. Nothing was sent.")
                .arg(name, AlgorithmVersionText(backup.algorithmVersion),
                     AlgorithmVersionText(running)));
        return;
    }
    EnsureParameterAddresses();
    if (!ParameterAddressesRead()) {
        platform::ShowMessage(
            QStringLiteral("The addresses of algorithm %1 are not known, so its settings cannot "
                           "be sent. Nothing was sent.")
                .arg(AlgorithmVersionText(running)));
        return;
    }

    const QStringList changes = Differences(backup, true);
    const QString question =
        changes.isEmpty()
            ? QStringLiteral("The pedal already holds the settings of \"%1\". Send them again?")
                  .arg(name)
            : QStringLiteral("Restore the pedal from \"%1\"? This changes:\n\n").arg(name) +
                  changes.join(QLatin1Char('\n'));
    if (platform::Ask(question) == platform::Answer::No) return;

    if (!SendBackup(backup)) return;
    lblStatus->setText(QStringLiteral("Backup sent to the pedal; reading it back"));
    const ExchangeResult result = ReadSettingsBack();
    if (!result.whole()) {
        platform::ShowMessage(
            QStringLiteral("The backup was sent, but the pedal's settings could not be read back "
                           "to check it. ") +
            result.problem);
        return;
    }
    const QStringList left = Differences(backup, false);
    if (left.isEmpty()) {
        lblStatus->setText(QStringLiteral("Pedal restored"));
        platform::ShowMessage(
            QStringLiteral("The pedal now holds the settings of \"%1\".").arg(name));
    } else {
        lblStatus->setText(QStringLiteral("Pedal restored, but it differs from the backup"));
        platform::ShowMessage(
            QStringLiteral("The pedal does not hold the settings of \"%1\" after the restore; it "
                           "reports (pedal \u2192 backup):\n\n")
                .arg(name) +
            left.join(QLatin1Char('\n')));
    }
}
