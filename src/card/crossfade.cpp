#include "card/crossfade.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QWidget>

void crossFadeFrom(QWidget *widget, int durationMs)
{
    if (!widget || !widget->isVisible() || !widget->window())
        return;
    QWidget *host = widget->window();
    auto *picture = new QLabel(host);
    picture->setObjectName(QStringLiteral("crossFadePicture"));
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture->setPixmap(widget->grab());
    picture->setGeometry(QRect(widget->mapTo(host, QPoint(0, 0)), widget->size()));
    auto *effect = new QGraphicsOpacityEffect(picture);
    effect->setOpacity(1.0);
    picture->setGraphicsEffect(effect);
    picture->show();
    picture->raise();

    auto *fade = new QPropertyAnimation(effect, "opacity", picture);
    fade->setDuration(durationMs);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(fade, &QPropertyAnimation::finished, picture, &QObject::deleteLater);
    fade->start();
}
