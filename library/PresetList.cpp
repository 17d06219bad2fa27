// The settings window's preset list: the presets in the preset folder by name,
// following the folder as files appear, change or go; activating one loads it.
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include "app/TformMain.h"
#include "effects/TformFXsettings.h"
#include "library/PresetFile.h"
#include "library/UserFileHandlers.h"
#include "platform/Dialogs.h"

void TformFXsettings::RefreshPresetList() {
    if (!presetWatcher_) {
        presetWatcher_ = new QFileSystemWatcher(this);
        connect(presetWatcher_, &QFileSystemWatcher::directoryChanged, this,
                [this] { RefreshPresetList(); });
    }
    // The folder is watched once it exists (Save and Load Preset make it), and
    // its parent too, which says when the folder itself comes or goes; a
    // folder that went is dropped from the watch by the watcher itself.
    const QString folder = PresetFolder();
    const QString parent = QFileInfo(folder).absolutePath();
    for (const QString& path : {parent, folder})
        if (QDir(path).exists() && !presetWatcher_->directories().contains(path))
            presetWatcher_->addPath(path);

    const QStringList names = PresetNames();
    QStringList shown;
    for (int row = 0; row < lstPresets->count(); ++row) shown << lstPresets->item(row)->text();
    if (shown == names) return;
    // The current preset stays current when others come and go.
    const QString current =
        lstPresets->currentItem() ? lstPresets->currentItem()->text() : QString();
    lstPresets->clear();
    lstPresets->addItems(names);
    const auto again = lstPresets->findItems(current, Qt::MatchExactly);
    if (!current.isEmpty() && !again.isEmpty()) lstPresets->setCurrentItem(again.first());
}

void TformFXsettings::PresetActivated(QListWidgetItem* item) {
    if (!item) return;
    // As Load Preset: a preset goes to the pedal as it is loaded.
    if (!formMain || !formMain->menuLoadPreset->isEnabled()) {
        platform::ShowMessage(
            QStringLiteral("Connect to the pedal to load a preset: its values go to the pedal as "
                           "it is loaded."));
        return;
    }
    LoadPresetFile(QDir(PresetFolder()).filePath(item->text() + QStringLiteral(".txt")));
}
