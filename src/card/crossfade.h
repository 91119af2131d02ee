#pragma once

class QWidget;

// Lays a picture of `widget` over it and fades the picture out over `durationMs`
// with an ease-in-out curve, so whatever replaces the widget underneath appears
// through it. The picture removes itself when done; the widget may be hidden or
// deleted meanwhile.
void crossFadeFrom(QWidget *widget, int durationMs);
