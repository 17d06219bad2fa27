#pragma once
// The settings window: the effect's parameters as dials, switches, lists and
// check boxes, each change written to the pedal at once; the assignment lists,
// tuning and tracking functions, and the footswitch behaviour, which buttons
// of the main window send.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "effects/ParameterModel.h"
#include "effects/QuendleDial.h"
#include "effects/QuendleSwitch.h"
#include "platform/DeferredWindow.h"

// The state of the main window's hidden "Enable All Parameters" item.
extern bool AllParametersEnabled;

class TformFXsettings : public QWidget {
    Q_OBJECT
public:
    // Item data role holding the design name of a pitch or tuning list entry
    // ("ListBoxItem_p12", "itmDADGAD").
    static constexpr int ItemNameRole = Qt::UserRole + 1;
    // Item data role holding an assignment list's AssignmentListItem*.
    static constexpr int AssignmentItemRole = Qt::UserRole;

    explicit TformFXsettings(QWidget* parent = nullptr);
    ~TformFXsettings() override;

    // The parameter display and live controls.
    QuendleDial* dialDry;
    QuendleDial* dialMinus1Oct;
    QuendleDial* dialSubMix;
    QuendleDial* dialMinus2Oct;
    QuendleDial* dialLowPass;
    QuendleDial* dialHighPass;
    QuendleDial* dialRange;
    QuendleSwitch* swtWave;
    QuendleSwitch* swtSplit;
    QuendleDial* dialInputLevel;
    QuendleDial* dialClipWave;
    QFrame* Rectangle1;
    QuendleDial* dial1stHarmonic;
    QLabel* lblVariableWavePitch;
    QComboBox* cmbVariableWavePitch;

    // Tuning and tracking functions.
    QFrame* Rectangle2;
    QLabel* lblTrackingFunctions;
    QComboBox* cmbGuitarTuning;
    QCheckBox* chkDominantNoteCut;
    QCheckBox* chkHighNoteCut;

    // Control assignments, index order CTRL I ... remote footswitch.
    QLabel* lblAssignControls;
    QLabel* lblAssignCtrlUNO;
    QLabel* lblAssignCtrlDUE;
    QLabel* lblAssignCtrlTRE;
    QLabel* lblAssignCtrlQUATTRO;
    QLabel* lblAssignRemote;
    QComboBox* cmbAssignCtrlUNO;
    QComboBox* cmbAssignCtrlDUE;
    QComboBox* cmbAssignCtrlTRE;
    QComboBox* cmbAssignCtrlQUATTRO;
    QComboBox* cmbAssignRemote;

    // Footswitch behaviour.
    QLabel* Label4;
    QRadioButton* chkBypassShortPress;
    QRadioButton* chkChangePresetShortPress;
    QButtonGroup* FtswShortPress;
    QLabel* Label5;
    QRadioButton* chkBypassLongPress;
    QRadioButton* chkChangePresetLongPress;
    QButtonGroup* FtswLongPress;

    // The presets in the preset folder, by name; activating one loads it.
    QLabel* lblPresets;
    QListWidget* lstPresets;

    // Creation: builds the parameter model, fills the assignment lists, sets
    // the hints and the tuning list.
    void FormCreate();
    // Each time the window is shown: reads the selected algorithm's image and
    // its parameter addresses.
    void FormShow();
    // Closes the window if it is showing, places it to the right of the main
    // window, runs FormShow and shows it with the algorithm's name as caption.
    // An image that cannot be read ends this before the window is shown.
    void ShowForSelectedAlgorithm();
    // Enables or disables the window's controls; the ten display controls stay disabled.
    void SetSettingsEnabled(bool enabled);
    // Shows the pedal model: every control at the model's value, without
    // running a change handler.
    void ShowModel();
    // A user's move of a dial: snaps it off the dead quarter and puts its
    // value into the model, which writes it to the pedal.
    void DialMoved(QuendleDial* dial, int slot);

    // The assignment list of a control (CtrlI ... RemoteFootswitch), and the
    // model's item it shows (null when nothing is selected).
    QComboBox* AssignmentList(int control) const;
    static AssignmentListItem* SelectedAssignmentItem(const QComboBox* list);

    // Puts each knob's value text and exact value (from the parameters) on the
    // knobs, and locks the knobs of assigned parameters to their control
    // button. Runs after every change of a knob or an assignment list.
    void ShowKnobText();

    // Fills the preset list from the preset folder and watches the folder,
    // so the list follows files that appear, change or go.
    void RefreshPresetList();
    // A double-click or Return on a preset: loads it as Load Preset does.
    void PresetActivated(QListWidgetItem* item);

    // Change handlers.
    void OnChange_dialInputLevel();
    void dialClipWaveChange();
    void dialDryChange();
    void dialSubMixChange();
    void dialMinus1OctChange();
    void dialMinus2OctChange();
    void VariWavePitchOnChange();
    // Assignment lists, tuning list and tracking boxes: their handlers belong
    // to the assignment and tuning code.
    void ControlUNOassignOnChange();
    void ControlDUEassignOnChange();
    void ControlTREassignOnChange();
    void ControlQUATTROAssignOnChange();
    void RemoteAssignOnChange();
    void cmbGuitarTuningChange();
    void chkDominantNoteCutChange();
    void chkHighNoteCutChange();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void ConnectHandlers();
    // Shows the refusal when the parameter is assigned, and puts the control
    // back to the model's value.
    bool RefusedWhileAssigned(int slot);
    // A footswitch radio button changed: the model takes the new behaviour.
    void FootswitchChoiceChanged();

    // Every control the window owns, for SetSettingsEnabled.
    std::vector<QWidget*> controls_;
    class QFileSystemWatcher* presetWatcher_ = nullptr;
    // Set while ShowForSelectedAlgorithm has already run FormShow.
    bool formShowDone_ = false;
};

// Built when first used (see DeferredWindow).
extern DeferredWindow<TformFXsettings> formFXsettings;
