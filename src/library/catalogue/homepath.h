#pragma once

#include <QByteArray>
#include <QString>

// `path` with the current user's home directory written as "~", for display.
QString abbreviateHome(const QString &path);
// The same for a given home directory. Only a leading home that is the whole path
// or is followed by "/" is replaced: with a home of /home/al, /home/alice stays as it is.
QString abbreviateHome(const QString &path, const QString &home);

// The home folder this process should use, from the HOME variable as given
// (`variable`, null when unset) and the account's home in the password database.
// An unset or empty HOME falls back to the account's; a relative one is refused
// (nothing would say relative to what), with the reason in `error`.
struct HomeChoice {
    QString home;  // empty when refused
    QString error;
};
HomeChoice chooseHome(const QByteArray &variable, const QString &accountHome);

// The current account's home in the password database; empty when it has none.
QString accountHome();

// Makes HOME usable before anything reads it: sets it to the account's when it
// is unset or empty. False, with the reason in `error`, when it cannot be used.
bool settleHome(QString *error);
