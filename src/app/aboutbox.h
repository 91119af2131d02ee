#pragma once

class QMessageBox;
class QWidget;

// The About box: the same name, tagline, version line, maker and licence as the
// settings window's About tab. Deletes itself when closed.
QMessageBox *createAboutBox(QWidget *parent);
