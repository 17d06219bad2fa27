#include "platform/Fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>

namespace platform {

QFont InstalledFont(const QStringList& families, qreal pointSize) {
    // One answer per list for the whole run: the installed fonts do not change
    // under a running editor in a way the windows would follow anyway.
    static QHash<QStringList, QStringList> chosen;
    auto it = chosen.find(families);
    if (it == chosen.end()) {
        // The installed families, read once (the font database is read in
        // full for any font anyway); asking hasFamily() instead runs each
        // name through the font configuration's substitution rules.
        static const QStringList installed = QFontDatabase::families();
        QStringList pick = families;
        for (const QString& family : families) {
            if (installed.contains(family, Qt::CaseInsensitive)) {
                pick = QStringList{family};
                break;
            }
        }
        it = chosen.insert(families, pick);
    }
    QFont font;
    font.setFamilies(*it);
    font.setPointSizeF(pointSize);
    return font;
}

QStringList SansFamilies() {
    return {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
}

void UseSansForApplication() {
    QFont font = QApplication::font();
    font.setFamilies(InstalledFont(SansFamilies(), font.pointSizeF()).families());
    QApplication::setFont(font);
}

}  // namespace platform
