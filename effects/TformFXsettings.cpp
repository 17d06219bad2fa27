#include "effects/TformFXsettings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <QSignalBlocker>
#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "effects/EditHistory.h"
#include "effects/HintsUnit.h"
#include "effects/KnobText.h"
#include "effects/PedalModel.h"
#include "library/Catalogue.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Fonts.h"

using platform::Guarded;

DeferredWindow<TformFXsettings> formFXsettings;
bool AllParametersEnabled = false;

namespace {

const QString kRefusal =
    QStringLiteral("This parameter is currently assigned and cannot be controlled from here");

// The controls' 517 pixels and the preset list's strip below them.
constexpr int kWindowHeight = 517 + 104;

QFont SettingsFont() {
    return platform::InstalledFont(platform::SansFamilies(), 9);
}

}  // namespace

TformFXsettings::TformFXsettings(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("formFXsettings"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(SettingsFont());
    BuildControls();
    ConnectHandlers();
    // A fixed single border: the client area cannot be resized. The preset
    // list takes the strip below the controls.
    setFixedSize(333, kWindowHeight);
}

TformFXsettings::~TformFXsettings() {
    if (formFXsettings == this) formFXsettings = nullptr;
}

void TformFXsettings::BuildControls() {
    auto own = [this](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        // Each control carries the font itself: a font only inherited from the
        // window is lost when the look's style sheet is replaced.
        w->setFont(SettingsFont());
        controls_.push_back(w);
        return w;
    };
    auto dial = [&](const char* name, const QString& caption, QWidget* parent, QSize size) {
        auto* d = new QuendleDial(caption, parent);
        own(d, name);
        // Wide enough for the caption under the knob.
        d->setFixedSize(std::max(size.width(), d->sizeHint().width()), size.height());
        return d;
    };
    const QSize mixDial(70, 84);
    const QSize liveDial(78, 82);
    auto label = [&](const char* name, const QString& text, QWidget* parent) {
        auto* l = new QLabel(text, parent);
        own(l, name);
        return l;
    };
    auto combo = [&](const char* name, QWidget* parent) {
        auto* c = new QComboBox(parent);
        own(c, name);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        return c;
    };
    auto frame = [&](const char* name) {
        auto* f = new QFrame(this);
        own(f, name);
        // An outline without fill.
        f->setFrameShape(QFrame::StyledPanel);
        f->setAutoFillBackground(false);
        return f;
    };
    auto radio = [&](const char* name, const QString& text) {
        auto* r = new QRadioButton(text, this);
        own(r, name);
        return r;
    };

    // The display dials and switches, two columns at the left.
    dialDry = dial("dialDry", QStringLiteral("Dry"), this, mixDial);
    dialMinus1Oct = dial("dialMinus1Oct", QStringLiteral("-1 OCT"), this, mixDial);
    dialSubMix = dial("dialSubMix", QStringLiteral("Sub Mix"), this, mixDial);
    dialMinus2Oct = dial("dialMinus2Oct", QStringLiteral("-2 OCT"), this, mixDial);
    dialLowPass = dial("dialLowPass", QStringLiteral("Low Pass"), this, mixDial);
    dialHighPass = dial("dialHighPass", QStringLiteral("High Pass"), this, mixDial);
    dialRange = dial("dialRange", QStringLiteral("Range"), this, mixDial);
    swtWave = new QuendleSwitch(QStringLiteral("Wave"), this);
    own(swtWave, "swtWave");
    swtSplit = new QuendleSwitch(QStringLiteral("Split"), this);
    own(swtSplit, "swtSplit");

    // The live dials at the top right.
    dialInputLevel = dial("dialInputLevel", QStringLiteral("Input Level"), this, liveDial);
    dialClipWave = dial("dialClipWave", QStringLiteral("Wave Clip"), this, liveDial);

    // Tuning and tracking functions.
    Rectangle2 = frame("Rectangle2");
    lblTrackingFunctions =
        label("lblTrackingFunctions", QStringLiteral("Tracking Functions"), Rectangle2);
    cmbGuitarTuning = combo("cmbGuitarTuning", Rectangle2);
    const std::pair<const char*, const char*> tunings[] = {
        {"itmNoTuningSelected", "No Tuning Selected"},
        {"itmStandardTuning", "Standard EADGBE"},
        {"itmDropD", "Drop D (DADGBE)"},
        {"itmDADGAD", "DADGAD"},
        {"itmHalfStepDown", "EbAbDbGbBbEb"}};
    for (const auto& [name, text] : tunings) {
        cmbGuitarTuning->addItem(QString::fromLatin1(text));
        cmbGuitarTuning->setItemData(cmbGuitarTuning->count() - 1, QString::fromLatin1(name),
                                     ItemNameRole);
    }
    chkDominantNoteCut = new QCheckBox(QStringLiteral("Dominant Notes Cut"), Rectangle2);
    own(chkDominantNoteCut, "chkDominantNoteCut");
    chkHighNoteCut = new QCheckBox(QStringLiteral("High Notes Cut"), Rectangle2);
    own(chkHighNoteCut, "chkHighNoteCut");

    // The first harmonic and its pitch.
    Rectangle1 = frame("Rectangle1");
    dial1stHarmonic =
        dial("dial1stHarmonic", QStringLiteral("1st Harmonic"), Rectangle1, QSize(76, 76));
    lblVariableWavePitch =
        label("lblVariableWavePitch", QStringLiteral("1st Harmonic Pitch"), Rectangle1);
    lblVariableWavePitch->setWordWrap(true);
    cmbVariableWavePitch = combo("cmbVariableWavePitch", Rectangle1);
    cmbVariableWavePitch->setMaxVisibleItems(12);
    for (int semitones = -12; semitones <= 12; ++semitones) {
        const QString text =
            semitones > 0 ? QStringLiteral("+%1").arg(semitones) : QString::number(semitones);
        const QString name = QStringLiteral("ListBoxItem_%1%2")
                                 .arg(semitones < 0 ? QLatin1Char('m') : QLatin1Char('p'))
                                 .arg(std::abs(semitones));
        cmbVariableWavePitch->addItem(text);
        cmbVariableWavePitch->setItemData(cmbVariableWavePitch->count() - 1, name, ItemNameRole);
    }
    // Nothing is selected until the user or the read-back picks a pitch.
    cmbVariableWavePitch->setCurrentIndex(-1);

    // Control assignments; their items come with the parameter model.
    lblAssignControls = label("lblAssignControls", QStringLiteral("Assign Controls"), this);
    lblAssignCtrlUNO = label("lblAssignCtrlUNO", QStringLiteral("Control I"), this);
    lblAssignCtrlDUE = label("lblAssignCtrlDUE", QStringLiteral("Control II"), this);
    lblAssignCtrlTRE = label("lblAssignCtrlTRE", QStringLiteral("Control III"), this);
    lblAssignCtrlQUATTRO = label("lblAssignCtrlQUATTRO", QStringLiteral("Control IV"), this);
    lblAssignRemote = label("lblAssignRemote", QStringLiteral("Remote Footswitch"), this);
    cmbAssignCtrlUNO = combo("cmbAssignCtrlUNO", this);
    cmbAssignCtrlDUE = combo("cmbAssignCtrlDUE", this);
    cmbAssignCtrlTRE = combo("cmbAssignCtrlTRE", this);
    cmbAssignCtrlQUATTRO = combo("cmbAssignCtrlQUATTRO", this);
    cmbAssignRemote = combo("cmbAssignRemote", this);

    // Footswitch behaviour: two groups of two radio buttons.
    Label4 = label("Label4", QStringLiteral("Footswitch Short Press:"), this);
    chkBypassShortPress = radio("chkBypassShortPress", QStringLiteral("Bypass"));
    chkChangePresetShortPress = radio("chkChangePresetShortPress", QStringLiteral("Change Preset"));
    Label5 = label("Label5", QStringLiteral("Footswitch Long Press:"), this);
    chkBypassLongPress = radio("chkBypassLongPress", QStringLiteral("Bypass"));
    chkChangePresetLongPress = radio("chkChangePresetLongPress", QStringLiteral("Change Preset"));
    FtswShortPress = new QButtonGroup(this);
    FtswShortPress->setObjectName(QStringLiteral("FtswShortPress"));
    FtswShortPress->addButton(chkBypassShortPress);
    FtswShortPress->addButton(chkChangePresetShortPress);
    FtswLongPress = new QButtonGroup(this);
    FtswLongPress->setObjectName(QStringLiteral("FtswLongPress"));
    FtswLongPress->addButton(chkBypassLongPress);
    FtswLongPress->addButton(chkChangePresetLongPress);
    chkBypassShortPress->setChecked(true);
    chkChangePresetLongPress->setChecked(true);

    // The presets: browsable whether or not a pedal is connected, so not
    // among the controls that a disconnect disables.
    lblPresets = new QLabel(QStringLiteral("&Presets"), this);
    lblPresets->setObjectName(QStringLiteral("lblPresets"));
    lblPresets->setFont(SettingsFont());
    lstPresets = new QListWidget(this);
    lstPresets->setObjectName(QStringLiteral("lstPresets"));
    lstPresets->setFont(SettingsFont());
    lstPresets->setFixedHeight(78);
    lstPresets->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPresets->setAccessibleName(QStringLiteral("Presets"));
    lstPresets->setAccessibleDescription(
        QStringLiteral("The presets in the preset folder; Return or a double-click loads one"));
    lblPresets->setBuddy(lstPresets);
    // Undo and Redo of the player's edits, also from the right mouse button.
    addAction(EditHistory::Instance().UndoAction());
    addAction(EditHistory::Instance().RedoAction());
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // Screen readers read a list by its label, and the two groups' buttons
    // by group and choice (both groups have a "Bypass").
    lblVariableWavePitch->setBuddy(cmbVariableWavePitch);
    lblTrackingFunctions->setBuddy(cmbGuitarTuning);
    lblAssignCtrlUNO->setBuddy(cmbAssignCtrlUNO);
    lblAssignCtrlDUE->setBuddy(cmbAssignCtrlDUE);
    lblAssignCtrlTRE->setBuddy(cmbAssignCtrlTRE);
    lblAssignCtrlQUATTRO->setBuddy(cmbAssignCtrlQUATTRO);
    lblAssignRemote->setBuddy(cmbAssignRemote);
    // A drop-down would otherwise be read by the entry it shows.
    for (QLabel* l : {lblVariableWavePitch, lblTrackingFunctions, lblAssignCtrlUNO,
                      lblAssignCtrlDUE, lblAssignCtrlTRE, lblAssignCtrlQUATTRO, lblAssignRemote})
        l->buddy()->setAccessibleName(l->text());
    chkBypassShortPress->setAccessibleName(QStringLiteral("Short press: Bypass"));
    chkChangePresetShortPress->setAccessibleName(QStringLiteral("Short press: Change Preset"));
    chkBypassLongPress->setAccessibleName(QStringLiteral("Long press: Bypass"));
    chkChangePresetLongPress->setAccessibleName(QStringLiteral("Long press: Change Preset"));

    // A typed figure on a knob: a level 0 to 100.
    for (QuendleDial* d : {dialDry, dialMinus1Oct, dialSubMix, dialMinus2Oct, dial1stHarmonic,
                           dialInputLevel, dialClipWave})
        d->setParser([](const QString& text) {
            const TypedKnobValue typed = ParseKnobText(text, LevelKnob);
            return QuendleDial::Parsed{typed.angle, typed.hint};
        });

    // The display controls only show what the pedal reports.
    for (QWidget* w : std::initializer_list<QWidget*>{
             dialDry, dialMinus1Oct, dialSubMix, dialMinus2Oct, dialLowPass, dialHighPass,
             dialRange, dial1stHarmonic, swtWave, swtSplit})
        w->setEnabled(false);

    // Arrangement.
    auto* dials = new QGridLayout;
    dials->setSpacing(2);
    dials->addWidget(dialDry, 0, 0, Qt::AlignCenter);
    dials->addWidget(dialMinus1Oct, 0, 1, Qt::AlignCenter);
    dials->addWidget(dialSubMix, 1, 0, Qt::AlignCenter);
    dials->addWidget(dialMinus2Oct, 1, 1, Qt::AlignCenter);
    dials->addWidget(dialLowPass, 2, 0, Qt::AlignCenter);
    dials->addWidget(dialHighPass, 2, 1, Qt::AlignCenter);
    dials->addWidget(dialRange, 3, 0, Qt::AlignCenter);
    auto* switches = new QVBoxLayout;
    switches->setSpacing(0);
    switches->addWidget(swtWave, 0, Qt::AlignHCenter);
    switches->addWidget(swtSplit, 0, Qt::AlignHCenter);
    dials->addLayout(switches, 3, 1);

    auto* footswitch = new QVBoxLayout;
    footswitch->setSpacing(2);
    footswitch->addWidget(Label4);
    footswitch->addWidget(chkBypassShortPress);
    footswitch->addWidget(chkChangePresetShortPress);
    footswitch->addSpacing(6);
    footswitch->addWidget(Label5);
    footswitch->addWidget(chkBypassLongPress);
    footswitch->addWidget(chkChangePresetLongPress);

    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addLayout(dials);
    left->addSpacing(8);
    left->addLayout(footswitch);
    left->addStretch(1);

    auto* live = new QHBoxLayout;
    live->setSpacing(2);
    live->addWidget(dialInputLevel, 0, Qt::AlignCenter);
    live->addWidget(dialClipWave, 0, Qt::AlignCenter);

    auto* tracking = new QVBoxLayout(Rectangle2);
    tracking->setContentsMargins(6, 4, 6, 6);
    tracking->setSpacing(3);
    tracking->addWidget(lblTrackingFunctions);
    tracking->addWidget(cmbGuitarTuning);
    tracking->addWidget(chkDominantNoteCut);
    tracking->addWidget(chkHighNoteCut);

    auto* pitch = new QVBoxLayout;
    pitch->setSpacing(3);
    pitch->addStretch(1);
    pitch->addWidget(lblVariableWavePitch);
    pitch->addWidget(cmbVariableWavePitch);
    pitch->addStretch(1);
    auto* harmonic = new QHBoxLayout(Rectangle1);
    harmonic->setContentsMargins(5, 4, 6, 4);
    harmonic->setSpacing(4);
    harmonic->addWidget(dial1stHarmonic);
    harmonic->addLayout(pitch, 1);

    auto* assign = new QVBoxLayout;
    assign->setSpacing(1);
    assign->addWidget(lblAssignControls);
    const std::pair<QLabel*, QComboBox*> rows[] = {{lblAssignCtrlUNO, cmbAssignCtrlUNO},
                                                   {lblAssignCtrlDUE, cmbAssignCtrlDUE},
                                                   {lblAssignCtrlTRE, cmbAssignCtrlTRE},
                                                   {lblAssignCtrlQUATTRO, cmbAssignCtrlQUATTRO},
                                                   {lblAssignRemote, cmbAssignRemote}};
    for (const auto& [caption, list] : rows) {
        assign->addSpacing(2);
        assign->addWidget(caption);
        assign->addWidget(list);
    }

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addLayout(live);
    right->addWidget(Rectangle2);
    right->addWidget(Rectangle1);
    right->addSpacing(2);
    right->addLayout(assign);
    right->addStretch(1);

    auto* outer = new QHBoxLayout;
    outer->setSpacing(8);
    outer->addLayout(left, 0);
    outer->addLayout(right, 1);

    auto* presets = new QVBoxLayout;
    presets->setSpacing(1);
    presets->addWidget(lblPresets);
    presets->addWidget(lstPresets, 1);

    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(6, 6, 6, 6);
    whole->setSpacing(6);
    whole->addLayout(outer, 1);
    whole->addLayout(presets, 0);
}

void TformFXsettings::ConnectHandlers() {
    connect(dialInputLevel, &QuendleDial::angleChanged, this,
            Guarded([this] { OnChange_dialInputLevel(); }));
    connect(dialClipWave, &QuendleDial::angleChanged, this,
            Guarded([this] { dialClipWaveChange(); }));
    connect(dialDry, &QuendleDial::angleChanged, this, Guarded([this] { dialDryChange(); }));
    connect(dialSubMix, &QuendleDial::angleChanged, this, Guarded([this] { dialSubMixChange(); }));
    connect(dialMinus1Oct, &QuendleDial::angleChanged, this,
            Guarded([this] { dialMinus1OctChange(); }));
    connect(dialMinus2Oct, &QuendleDial::angleChanged, this,
            Guarded([this] { dialMinus2OctChange(); }));
    connect(cmbVariableWavePitch, &QComboBox::currentIndexChanged, this,
            Guarded([this] { VariWavePitchOnChange(); }));

    connect(cmbAssignCtrlUNO, &QComboBox::currentIndexChanged, this,
            Guarded([this] { ControlUNOassignOnChange(); }));
    connect(cmbAssignCtrlDUE, &QComboBox::currentIndexChanged, this,
            Guarded([this] { ControlDUEassignOnChange(); }));
    connect(cmbAssignCtrlTRE, &QComboBox::currentIndexChanged, this,
            Guarded([this] { ControlTREassignOnChange(); }));
    connect(cmbAssignCtrlQUATTRO, &QComboBox::currentIndexChanged, this,
            Guarded([this] { ControlQUATTROAssignOnChange(); }));
    connect(cmbAssignRemote, &QComboBox::currentIndexChanged, this,
            Guarded([this] { RemoteAssignOnChange(); }));
    connect(cmbGuitarTuning, &QComboBox::currentIndexChanged, this,
            Guarded([this] { cmbGuitarTuningChange(); }));
    connect(chkDominantNoteCut, &QCheckBox::toggled, this,
            Guarded([this] { chkDominantNoteCutChange(); }));
    connect(chkHighNoteCut, &QCheckBox::toggled, this, Guarded([this] { chkHighNoteCutChange(); }));
    for (QButtonGroup* group : {FtswShortPress, FtswLongPress})
        // Only the button that came on: the other one's going off is half a change.
        connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
            if (on) platform::Guard([this] { FootswitchChoiceChanged(); });
        });

    // The window shows the model whatever changed it: a read-back, an edit
    // here, or one made before the window was first shown.
    connect(&Model(), &PedalModel::valueChanged, this, [this] { ShowModel(); });
    connect(&Model(), &PedalModel::settingsChanged, this, [this] { ShowModel(); });

    connect(lstPresets, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        platform::Guard([this, item] { PresetActivated(item); });
    });
}

void TformFXsettings::ShowKnobText() {
    if (!ParameterModelBuilt()) return;
    const std::pair<QuendleDial*, std::pair<ParameterRef, KnobScale>> knobs[] = {
        {dialDry, {*paramDry, LevelKnob}},
        {dialMinus1Oct, {*paramMinus1Oct, LevelKnob}},
        {dialSubMix, {*paramSubMix, LevelKnob}},
        {dialMinus2Oct, {*paramMinus2Oct, LevelKnob}},
        {dialLowPass, {*paramLowPass, LowPassKnob}},
        {dialHighPass, {*paramHighPass, HighPassKnob}},
        {dialRange, {*paramRange, RangeKnob}},
        {dial1stHarmonic, {*param1stHarmonic, LevelKnob}},
        {dialInputLevel, {*paramInputLevel, LevelKnob}},
        {dialClipWave, {*paramWaveClip, LevelKnob}}};
    for (const auto& [dial, what] : knobs)
        dial->setValueText(KnobValueText(what.first.value(), what.second),
                           KnobExactText(what.first.value(), what.second));

    // An assigned parameter's knob names the button that holds it.
    auto holder = [this](const assignable_parameter& p) {
        if (!p.is_assigned) return QString();
        if (cmbAssignCtrlUNO->currentText() == p.parameter_name) return QStringLiteral("CTRL I");
        if (cmbAssignCtrlDUE->currentText() == p.parameter_name) return QStringLiteral("CTRL II");
        return QStringLiteral("CTRL");
    };
    dialInputLevel->setLockedText(holder(*paramInputLevel));
    dialClipWave->setLockedText(holder(*paramWaveClip));
}

void TformFXsettings::FormCreate() {
    // Start-up builds the model in this window's place in the creation order
    // (the window itself waits until it is first used); a window made without
    // it builds its own.
    if (!ParameterModelBuilt()) BuildParameterModel();

    // The window may be built after a Request has filled the model: filling
    // its lists is not a choice of the user's, and what they show next comes
    // from the model.
    for (int control = 0; control < AssignableControlCount; ++control) {
        QComboBox* list = AssignmentList(control);
        const QSignalBlocker quiet(list);
        for (AssignmentListItem* item : AssignmentListItems(control))
            list->addItem(item->text, QVariant::fromValue(item));
    }

    EditHistory::Instance().Clear();
    RefreshPresetList();
    dialInputLevel->setToolTip(HintInputLevel);
    chkDominantNoteCut->setToolTip(HintDominantNotesCut);
    chkHighNoteCut->setToolTip(HintHighNotesCut);
    ShowModel();
}

QComboBox* TformFXsettings::AssignmentList(int control) const {
    switch (control) {
        case CtrlI:
            return cmbAssignCtrlUNO;
        case CtrlII:
            return cmbAssignCtrlDUE;
        case CtrlIII:
            return cmbAssignCtrlTRE;
        case CtrlIV:
            return cmbAssignCtrlQUATTRO;
        case RemoteFootswitch:
            return cmbAssignRemote;
    }
    return nullptr;
}

AssignmentListItem* TformFXsettings::SelectedAssignmentItem(const QComboBox* list) {
    if (!list || list->currentIndex() < 0) return nullptr;
    return list->currentData(AssignmentItemRole).value<AssignmentListItem*>();
}

void TformFXsettings::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ShowModel();
    // The preset folder may have been made since the window was created.
    RefreshPresetList();
    // Every show reads the selected algorithm's addresses; a show that
    // ShowForSelectedAlgorithm makes has done so already (so that a bad image
    // stops the click instead of showing a half-read window), and a window
    // coming back from the task bar is not a new show.
    if (!event->spontaneous() && !formShowDone_) platform::Guard([this] { FormShow(); });
}

void TformFXsettings::FormShow() {
    const QString name = ResourceNameFor(SelectedAlgorithmName);
    ConsolePrint(QStringLiteral("resource name: ") + name);
    LoadResourceLines(name);
    const QString image = ResourceLines.value(0);
    ConsolePrint(image);
    ReadParameterAddresses(image);
}

void TformFXsettings::ShowForSelectedAlgorithm() {
    if (isVisible()) close();
    // Beside the main window: our frame's left edge where the main window's
    // frame ends, tops aligned. Both sides use frame geometry, which is also
    // what move() places, so title bars and borders do not shift the window.
    const QRect main = formMain->frameGeometry();
    move(main.x() + main.width(), main.y());
    FormShow();
    formShowDone_ = true;
    show();
    formShowDone_ = false;
    setWindowTitle(SelectedAlgorithmName);
}

void TformFXsettings::SetSettingsEnabled(bool enabled) {
    EditHistory::Instance().SetLive(enabled);
    for (QWidget* w : controls_) w->setEnabled(enabled);
    for (QWidget* w : controls_) {
        auto* list = qobject_cast<QComboBox*>(w);
        if (!list) continue;
        auto* model = qobject_cast<QStandardItemModel*>(list->model());
        if (!model) continue;
        for (int row = 0; row < model->rowCount(); ++row) model->item(row)->setEnabled(enabled);
        for (int i = 0; i < list->count(); ++i)
            if (auto* item = list->itemData(i, AssignmentItemRole).value<AssignmentListItem*>())
                item->enabled = enabled;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             dialDry, dialMinus1Oct, dialSubMix, dialMinus2Oct, dialLowPass, dialHighPass,
             dialRange, dial1stHarmonic, swtWave, swtSplit})
        w->setEnabled(false);
}

void TformFXsettings::ShowModel() {
    if (!ParameterModelBuilt()) return;
    const PedalModel& model = Model();
    // What the window shows follows the model; nothing shown here is a move
    // of the user's, so no handler runs and nothing goes to the pedal.
    const std::pair<QuendleDial*, int> dials[] = {{dialDry, SlotDry},
                                                  {dialSubMix, SlotSubMix},
                                                  {dialMinus1Oct, SlotMinus1Oct},
                                                  {dialMinus2Oct, SlotMinus2Oct},
                                                  {dialLowPass, SlotLowPass},
                                                  {dialHighPass, SlotHighPass},
                                                  {dial1stHarmonic, Slot1stHarmonic},
                                                  {dialRange, SlotRange},
                                                  {dialInputLevel, SlotInputLevel},
                                                  {dialClipWave, SlotWaveClip}};
    for (const auto& [dial, slot] : dials) {
        const std::uint32_t value = model.Value(slot);
        // An angle that gives the value already stays (two angles meet at
        // the top of the arc).
        if (PedalModel::DialScale(slot) == 0x800000 &&
            SnapDialAngle(dial->angle()) == dial->angle() &&
            DialAngleToValue(dial->angle()) == value)
            continue;
        const QSignalBlocker quiet(dial);
        dial->setAngle(PedalModel::DialAngleFor(slot, value));
    }
    // A value that is neither state leaves a switch as it is.
    for (const auto& [toggle, slot] :
         {std::pair{swtWave, int{SlotWave}}, std::pair{swtSplit, int{SlotSplit}}}) {
        const int key = PedalModel::DisplayKey(slot, model.Value(slot));
        const QSignalBlocker quiet(toggle);
        if (key >= 0) toggle->setOn(key == 1);
    }
    {
        // Only an exact pitch of the list is shown.
        const int pitch = PedalModel::DisplayKey(SlotHarmonicPitch, model.Value(SlotHarmonicPitch));
        const QSignalBlocker quiet(cmbVariableWavePitch);
        if (pitch >= 0) cmbVariableWavePitch->setCurrentIndex(pitch);
    }
    for (const auto& [box, slot] : {std::pair{chkDominantNoteCut, int{SlotDominantNoteCut}},
                                    std::pair{chkHighNoteCut, int{SlotHighNotesCut}}}) {
        const QSignalBlocker quiet(box);
        box->setChecked(model.Value(slot) == 1);
    }
    for (int control = 0; control < AssignableControlCount; ++control) {
        QComboBox* list = AssignmentList(control);
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(model.AssignmentEntry(control));
    }
    {
        const QSignalBlocker quiet(cmbGuitarTuning);
        cmbGuitarTuning->setCurrentIndex(model.Tuning());
    }
    const std::uint8_t code = model.FootswitchCode();
    for (QRadioButton* r : {chkBypassShortPress, chkChangePresetShortPress, chkBypassLongPress,
                            chkChangePresetLongPress}) {
        const QSignalBlocker quiet(r);
        // The long press counts the other way round: 0 is "Change Preset".
        const bool on = r == chkBypassShortPress         ? code / 2 == 0
                        : r == chkChangePresetShortPress ? code / 2 == 1
                        : r == chkBypassLongPress        ? code % 2 == 1
                                                         : code % 2 == 0;
        r->setChecked(on);
    }
    ShowKnobText();
}

void TformFXsettings::FootswitchChoiceChanged() {
    const int shortCode = chkChangePresetShortPress->isChecked() ? 1 : 0;
    const int longCode = chkBypassLongPress->isChecked() ? 1 : 0;
    Model().SetFootswitchCode(static_cast<std::uint8_t>(shortCode * 2 + longCode));
}

void TformFXsettings::DialMoved(QuendleDial* dial, int slot) {
    // A dial left in the dead quarter goes to the nearer end of its arc.
    const int snapped = SnapDialAngle(dial->angle());
    if (snapped != dial->angle()) {
        const QSignalBlocker quiet(dial);
        dial->setAngle(snapped);
    }
    EditHistory::Instance().Edit(slot, DialAngleToValue(snapped));
}

bool TformFXsettings::RefusedWhileAssigned(int slot) {
    if (!ParameterAt(slot).assignable() || !ParameterAt(slot).assignable()->is_assigned)
        return false;
    platform::ShowMessage(kRefusal);
    // The control goes back to what the pedal's button left there.
    ShowModel();
    return true;
}

void TformFXsettings::OnChange_dialInputLevel() {
    if (!paramInputLevel || RefusedWhileAssigned(SlotInputLevel)) return;
    DialMoved(dialInputLevel, SlotInputLevel);
}

void TformFXsettings::dialClipWaveChange() {
    if (!paramWaveClip || RefusedWhileAssigned(SlotWaveClip)) return;
    DialMoved(dialClipWave, SlotWaveClip);
}

void TformFXsettings::dialDryChange() {
    if (paramDry) DialMoved(dialDry, SlotDry);
}

void TformFXsettings::dialSubMixChange() {
    if (paramSubMix) DialMoved(dialSubMix, SlotSubMix);
}

void TformFXsettings::dialMinus1OctChange() {
    if (paramMinus1Oct) DialMoved(dialMinus1Oct, SlotMinus1Oct);
}

void TformFXsettings::dialMinus2OctChange() {
    if (paramMinus2Oct) DialMoved(dialMinus2Oct, SlotMinus2Oct);
}

void TformFXsettings::VariWavePitchOnChange() {
    if (!paramHarmonicPitch || RefusedWhileAssigned(SlotHarmonicPitch)) return;
    const int index = cmbVariableWavePitch->currentIndex();
    // Nothing selected: there is no pitch to send.
    if (index < 0 || index >= static_cast<int>(PitchTable.size())) return;
    EditHistory::Instance().Edit(SlotHarmonicPitch, PitchTable[static_cast<std::size_t>(index)]);
}
