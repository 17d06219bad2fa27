#pragma once
// Builds without the maker's images carry generated stand-ins: right in size
// and layout, but not programs for the pedal. Sending one to the virtual pedal
// is what they are for; sending one to a real pedal needs the user's word.

#include <QByteArray>
#include <QString>

// Whether the image (raw bytes, or an algorithm image's hex text) is a stand-in.
bool IsStandInImage(const QByteArray& image);
// True when the image may go out: it is the maker's, the link leads to the
// virtual pedal, or the user answered Yes to the question about it.
bool StandInMayBeSent(const QByteArray& image, const QString& question);
