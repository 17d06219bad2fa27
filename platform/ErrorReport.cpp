#include "platform/ErrorReport.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"

namespace platform {

void ReportError(const QString& text) {
    dialogs().ShowMessage(text);
}

bool Guard(const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (const EditorError& e) {
        ReportError(e.message());
    } catch (const std::exception& e) {
        ReportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unexpected error"));
    }
    return false;
}

}  // namespace platform
