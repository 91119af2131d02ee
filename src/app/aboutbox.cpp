#include "app/aboutbox.h"

#include "cli/buildinfo.h"
#include "common/toolicon.h"

#include <QCoreApplication>
#include <QMessageBox>

QMessageBox *createAboutBox(QWidget *parent)
{
    auto *box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QCoreApplication::translate("AboutBox", "About Vesk"));
    box->setIconPixmap(applicationIcon().pixmap(64, 64));
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<b>Vesk</b>"));
    const QString site = BuildInfo::website().toString();
    const QString tagline = QCoreApplication::translate("AboutBox", "Your AI skillbook");
    const QString maker = QCoreApplication::translate("AboutBox", "Made by Dravlen");
    box->setInformativeText(QStringLiteral("<p>%1<br>%2</p><p>%3<br>%4<br><a href=\"%5\">%6</a></p>")
                                .arg(tagline, currentVersionLine(), maker, licenceLine(), site,
                                     BuildInfo::website().host()));
    box->setStandardButtons(QMessageBox::Close);
    return box;
}
