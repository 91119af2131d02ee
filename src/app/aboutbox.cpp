#include "app/aboutbox.h"

#include "app/buildinfo.h"
#include "common/toolicon.h"

#include <QCoreApplication>
#include <QMessageBox>

QMessageBox *createAboutBox(QWidget *parent)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("AboutBox", text); };
    auto *box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(tr("About Vesk"));
    box->setIconPixmap(applicationIcon().pixmap(64, 64));
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<b>Vesk</b>"));
    const QString site = BuildInfo::website().toString();
    box->setInformativeText(QStringLiteral("<p>%1<br>%2</p><p>%3<br>%4<br><a href=\"%5\">%6</a></p>")
                                .arg(tr("Your AI skillbook"), currentVersionLine(), tr("Made by Dravlen"),
                                     licenceLine(), site, BuildInfo::website().host()));
    box->setStandardButtons(QMessageBox::Close);
    return box;
}
