#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

// How a request to the desktop went.
enum class DesktopAnswer {
    Done,           // a file manager or handler took it
    NothingAnswered,
    FileMissing,    // the file was gone before anything was asked
};

// Shows the file in the desktop's file manager, with the file selected where the
// file manager offers that (the freedesktop FileManager1 interface on the session
// bus), otherwise by opening the folder that holds it with the desktop's handler.
// `done` hears how it went, later, and only while `context` lives.
void revealInFileManager(const QString &path, QObject *context, const std::function<void(DesktopAnswer)> &done);

// Opens the file with the desktop's handler for its type (for a skill, usually a
// text editor).
DesktopAnswer openInDefaultEditor(const QString &path);

// Tells the user, in a message over `parent`, that the desktop did not do what was
// asked (`nothingAnswered` says what was missing), and where the file is so that
// they can go there themselves. Does nothing for DesktopAnswer::Done.
void explainDesktopAnswer(QWidget *parent, DesktopAnswer answer, const QString &title,
                          const QString &nothingAnswered, const QString &path);
