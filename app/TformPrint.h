#pragma once
// The debug console: a running log of everything the editor does, with a row
// of service tools for the pedal's EEPROM, a raw parameter write and a note
// picker.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "platform/DeferredWindow.h"

class TformPrint : public QWidget {
    Q_OBJECT
public:
    explicit TformPrint(QWidget* parent = nullptr);
    ~TformPrint() override;

    QPlainTextEdit* Memo1;
    QPushButton* btnClear;
    QPushButton* btnScrollTop;
    QCheckBox* CheckBox1;
    QPushButton* btnEraseEeprom;
    QPushButton* btnReadEEPROM;
    QLineEdit* edtStartAddress;
    QLineEdit* edtEndAddress;
    QLineEdit* edtAddress;
    QLineEdit* edtData;
    QPushButton* btnSend;
    QPushButton* Button1;
    QComboBox* cmbNotePicker;

    void FormCreate();
    // Adds one line; scrolls to the end when asked and AutoScroll is on.
    void AddLine(const QString& text, bool scrollToEnd);
    // Lines added at once, as AddLine adds each.
    void AddLines(const QStringList& lines, bool scrollToEnd);
    void btnClearClick();
    void btnScrollTopClick();
    void CheckBox1Change();
    // Service tools.
    void btnEraseEepromClick();
    void btnReadEEPROMClick();
    void btnSendClick();
    void cmbNotePickerChange();
    void Button1Click();

private:
    void BuildControls();
};

// Built when first used (see DeferredWindow).
extern DeferredWindow<TformPrint> formPrint;
// Follows the end of the log while true; always equal to CheckBox1's state.
extern bool AutoScroll;

// Start-up, in the console's place among the windows: from now on every line
// logged goes to the console window, kept until the window is first built.
void InstallConsoleSink();
// Shows the console (from the main window's Ctrl+Shift+P).
void ShowConsole();
