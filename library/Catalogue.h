#pragma once
// The algorithms the editor carries: the catalogue of display names, the
// algorithm images, and how a display name becomes a resource name.

#include <QString>
#include <QStringList>

// The catalogue item clicked last; names the image an upload sends.
extern QString SelectedAlgorithmName;
// The lines of the resource loaded last.
extern QStringList ResourceLines;

// "Quendle MK3 0008" -> "Quendle_MK3_0008".
QString ResourceNameFor(const QString& displayName);
// Splits text into lines at CR LF, CR or LF; a final line break adds no line.
QStringList SplitResourceLines(const QString& text);
// Loads the named resource's lines into ResourceLines; throws
// platform::ResourceNotFound (ResourceLines unchanged) when there is none. A
// resource that exists but cannot be read is reported ("Error loading
// resource: ...") and leaves ResourceLines unchanged.
void LoadResourceLines(const QString& resourceName);
// Fills the main window's algorithm list from the catalogue "octave".
void FillCatalogue();
// The row selected in the main window's algorithm list, -1 when none is.
int SelectedAlgorithmRow();
