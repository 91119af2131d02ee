#pragma once

#include <QStringView>

// Orders two version strings the way people read them: component by component,
// numbers as numbers ("1.10" is newer than "1.9"), missing components as zero
// ("1.2" equals "1.2.0"), and a release newer than its pre-releases ("1.0" is
// newer than "1.0b2", which is newer than "1.0b1"; "1.0rc1" newer than "1.0beta3"
// because pre-release tags compare alphabetically). A leading "v" is ignored.
// Returns a negative number when `a` is older than `b`, zero when they are the
// same version, a positive number when `a` is newer.
int compareVersions(QStringView a, QStringView b);
