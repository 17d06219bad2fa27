#include "app/LookSettings.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/PedalLink.h"
#include "platform/Console.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Resources.h"

namespace {

// Seven menu items for eight looks: Style_7 is reached only through style.txt.
constexpr int kLookMenuItems = 7;
constexpr int kMidiChannels = 16;
// style.txt holds one digit; a larger one is no look index, and a bound keeps
// a link to a device that never ends from filling the memory at start.
constexpr qint64 kMaxStyleFileBytes = 4 * 1024;
// What each look is called, for screen readers (the menu shows the numbers).
const char* const kLookNames[] = {"Daylight",    "Night", "High contrast", "Tweed",
                                  "Studio blue", "Sage",  "Graphite",      "Print"};

// A look menu item as screen readers get it: its caption ("2") as the name,
// as the menu shows it, and the look's name as the description. Qt's own menu
// items carry no description.
class LookItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit LookItemAccessible(QAction* action) : action_(action) {}

    bool isValid() const override { return action_ && Menu(); }
    QObject* object() const override { return action_; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(Menu());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return action_->text();
        if (t == QAccessible::Description) return action_->toolTip();
        return QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        QMenu* menu = Menu();
        const QRect g = menu->actionGeometry(action_);
        return {menu->mapToGlobal(g.topLeft()), g.size()};
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        QMenu* menu = Menu();
        s.checkable = true;
        s.checked = action_->isChecked();
        s.disabled = !action_->isEnabled();
        s.invisible = !menu->isVisible();
        s.focusable = s.selectable = true;
        s.focused = s.selected = menu->activeAction() == action_;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && action_->isEnabled()) action_->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QMenu* Menu() const {
        if (!action_) return nullptr;
        for (QObject* o : action_->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(o)) return menu;
        return nullptr;
    }
    QPointer<QAction> action_;
};

QAccessibleInterface* LookItemFactory(const QString& key, QObject* object) {
    if (key != QLatin1String("QAction")) return nullptr;
    auto* action = qobject_cast<QAction*>(object);
    if (!action || !action->objectName().startsWith(QLatin1String("menuLook"))) return nullptr;
    return new LookItemAccessible(action);
}

// The look last applied, for the menu's mark; none before the first.
int g_lookInForce = -1;

void MarkLookInForce(TformMain& form) {
    // The menu marks the look in force (none for a look it has no item for).
    const QList<QAction*> items = form.menuLook->actions();
    for (int i = 0; i < items.size(); ++i) items[i]->setChecked(i == g_lookInForce);
}

}  // namespace

void ApplyRememberedLook() {
    const QString path = StyleFilePath();
    if (!QFileInfo::exists(path)) {
        ApplyLook(0);
        return;
    }
    // A file that cannot be read or holds no whole number (empty after a full
    // disk, edited by hand, a pipe, too large) must not stop the start: the first look stands in
    // and the file stays as it is until the user picks a look.
    std::optional<int> index;
    try {
        index = LookIndexFromText(
            platform::DecodeText(platform::ReadWholeFile(path, kMaxStyleFileBytes)));
    } catch (const platform::EditorError&) {
    }
    ApplyLook(index.value_or(0));
}

bool ApplyLook(int index) {
    const auto sheet = platform::FindResource(QStringLiteral("Style_") + QString::number(index));
    if (!sheet) return false;
    qApp->setStyleSheet(QString::fromUtf8(*sheet));
    g_lookInForce = index;
    if (formMain) {
        formMain->FitClientArea();
        MarkLookInForce(*formMain);
    }
    return true;
}

std::optional<int> LookIndexFromText(const QString& text) {
    bool ok = false;
    const int index = text.trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return index;
}

QString StyleFilePath() {
    return QDir(platform::MakerFolder()).filePath(QStringLiteral("style.txt"));
}

QString MidiChannelHex(const QString& channel) {
    if (channel == QLatin1String("OMNI")) return QStringLiteral("00");
    return Hex2(static_cast<std::uint32_t>(channel.toInt()));
}

void BuildLookAndMidiMenus(TformMain& form) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(LookItemFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    auto* looks = new QActionGroup(form.menuLook);
    for (int i = 0; i < kLookMenuItems; ++i) {
        QAction* item = form.menuLook->addAction(QString::number(i));
        item->setObjectName(QStringLiteral("menuLook%1").arg(i));
        item->setCheckable(true);
        item->setActionGroup(looks);
        item->setToolTip(QStringLiteral("Look %1: %2").arg(i).arg(QLatin1String(kLookNames[i])));
        item->setStatusTip(item->toolTip());
        QObject::connect(item, &QAction::triggered, &form,
                         platform::Guarded([&form, item] { form.menuLookClickItem(item); }));
    }
    // The look itself was applied before the windows were built.
    MarkLookInForce(form);
    QStringList channels{QStringLiteral("OMNI")};
    for (int channel = 1; channel <= kMidiChannels; ++channel) channels << QString::number(channel);
    auto* group = new QActionGroup(form.menuMIDIchannel);
    for (const QString& channel : channels) {
        QAction* item = form.menuMIDIchannel->addAction(channel);
        item->setObjectName(QStringLiteral("menuMIDIchannel") + channel);
        item->setCheckable(true);
        item->setActionGroup(group);
        QObject::connect(item, &QAction::triggered, &form, platform::Guarded([&form, item] {
                             form.menuMIDIchannelsClickItem(item);
                         }));
    }
}

void TformMain::menuLookClickItem(QAction* item) {
    const int index = static_cast<int>(menuLook->actions().indexOf(item));
    if (index < 0) return;
    ApplyLook(index);
    // The look is already in force; a failed write only loses the memory of
    // it, and the user is told why.
    const QString path = StyleFilePath();
    try {
        platform::WriteFileAtomically(path, QByteArray::number(index));
    } catch (const platform::EditorError& e) {
        throw platform::EditorError(QStringLiteral("Cannot save the look: ") + e.message());
    }
}

void TformMain::menuMIDIchannelsClickItem(QAction* item) {
    const QString channel = item->text();
    ConsoleAppend(QStringLiteral("Midi channel: ") + channel);
    const PedalMessage message =
        msg::MidiChannel(static_cast<std::uint8_t>(MidiChannelHex(channel).toUInt(nullptr, 16)));
    for (const QString& line : message.log) ConsolePrint(line);
    static QPointer<QAction> sent;
    if (PedalLink::Instance().Send(message)) {
        sent = item;
        return;
    }
    // The tick names the channel the pedal was last sent: it goes back there
    // (or away, when none was), as this one did not reach the pedal.
    if (sent) {
        sent->setChecked(true);
    } else if (QActionGroup* group = item->actionGroup()) {
        const auto policy = group->exclusionPolicy();
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
        item->setChecked(false);
        group->setExclusionPolicy(policy);
    }
}
