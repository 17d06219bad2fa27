// Preset files: read as Load Preset reads them, and saved again.
#include <vector>

#include "app/TformMain.h"
#include "effects/ParameterModel.h"
#include "fuzz/FuzzSupport.h"
#include "library/PresetFile.h"
#include "platform/ErrorReport.h"

namespace {

std::vector<std::uint32_t> ParameterValues() {
    std::vector<std::uint32_t> values;
    for (int slot = 0; slot < ParameterSlotCount; ++slot)
        values.push_back(ParameterAt(slot).value());
    return values;
}

// The form Save Preset writes: the byte-order mark, then only upper-case
// digits and single CRs between the fields, none after the last. (A second
// byte-order mark is read past too, but is not in that form.)
bool InSavedForm(const QByteArray& bytes) {
    if (!bytes.startsWith("\xEF\xBB\xBF") || bytes.endsWith('\r')) return false;
    for (char c : bytes.mid(3))
        if (c != '\r' && (c < 0x20 || c > 0x7E || (c >= 'a' && c <= 'z'))) return false;
    return true;
}

void CheckSaveAgain(const QByteArray& bytes) {
    const auto values = PresetValuesFromFile(bytes);
    if (!values) return;
    const QByteArray saved = PresetFileBytes(PresetText(*values));
    FUZZ_CHECK(saved.size() == 119);
    FUZZ_CHECK(PresetValuesFromFile(saved) == values);
    if (InSavedForm(bytes)) FUZZ_CHECK(saved == bytes);
}

// Through the File menu: one message, the load's or the failure's, and a file
// that is not a preset changes no parameter.
void CheckLoadCommand(const QByteArray& bytes) {
    auto& dialogs = fuzz::FreshDialogs();
    dialogs.fileNames.push_back(fuzz::WriteFile(QStringLiteral("preset.txt"), bytes));
    const auto before = ParameterValues();
    FUZZ_CHECK(platform::Guard([] { formMain->menuLoadPresetClick(); }));
    FUZZ_CHECK(dialogs.messages.size() == 1);
    if (!PresetValuesFromFile(bytes)) FUZZ_CHECK(ParameterValues() == before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartEditor();
    const QByteArray bytes = fuzz::Bytes(data, size);
    CheckSaveAgain(bytes);
    CheckLoadCommand(bytes);
    return 0;
}
