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

    // Each item keeps its file's name: the name shown has lost the extension's
    // letter case.
    const QStringList files = PresetFileNames();
    QStringList shown;
    for (int row = 0; row < lstPresets->count(); ++row)
        shown << lstPresets->item(row)->data(Qt::UserRole).toString();
    if (shown == files) return;
    // The current preset stays current when others come and go.
    const QString current = lstPresets->currentItem()
                                ? lstPresets->currentItem()->data(Qt::UserRole).toString()
                                : QString();
    lstPresets->clear();
    for (const QString& file : files) {
        auto* item = new QListWidgetItem(PresetNameOf(file), lstPresets);
        item->setData(Qt::UserRole, file);
        if (file == current) lstPresets->setCurrentItem(item);
    }
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
    LoadPresetFile(QDir(PresetFolder()).filePath(item->data(Qt::UserRole).toString()));
}
