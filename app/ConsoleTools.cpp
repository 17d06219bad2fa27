#include "app/ConsoleTools.h"

#include "app/TformPrint.h"

std::uint16_t EepromEndAddress = 0;
double NoteSemitoneOffset = 0;

QStringList NoteNames() {
    static const char* const kScale[] = {"A", "A#", "B", "C", "C#", "D",
                                         "D#", "E", "F", "F#", "G", "G#"};
    QStringList names;
    int octave = 1;
    for (int i = 0; i < 48; ++i) {
        const char* name = kScale[i % 12];
        if (i > 0 && i % 12 == 3) ++octave;  // the octave number changes at C
        names << QString::fromLatin1(name) + QString::number(octave);
    }
    return names;
}

void FillNotePicker() {
    formPrint->cmbNotePicker->clear();
    formPrint->cmbNotePicker->addItems(NoteNames());
    formPrint->cmbNotePicker->setCurrentIndex(0);
}

void TformPrint::btnEraseEepromClick() {}
void TformPrint::btnReadEEPROMClick() {}
void TformPrint::btnSendClick() {}
void TformPrint::cmbNotePickerChange() {}
void TformPrint::Button1Click() {}
