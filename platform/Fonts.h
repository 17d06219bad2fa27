#pragma once
// Fonts by family lists such as {"Arial", "Liberation Sans"}: the first family
// of the list that this system has installed is asked for by name alone, so
// the font system does not search its fall-backs for a family it lacks (a slow
// look-up through the whole font configuration, once per family and size).

#include <QFont>
#include <QStringList>

namespace platform {

// A font of the first installed family of `families` at `pointSize`. When none
// of them is installed, the list is asked for as it is and the font system's
// own substitution chooses, as it would have without this.
QFont InstalledFont(const QStringList& families, qreal pointSize);

// The windows' own family: Arial where it is installed, its metric twin
// elsewhere.
QStringList SansFamilies();

// The application's font for everything that sets none (menus, tooltips,
// message boxes): the windows' family at the desktop's size, so that one
// face serves the whole start instead of two.
void UseSansForApplication();

}  // namespace platform
