#pragma once

#include <QIcon>

class QFrame;
class QLabel;
class QWidget;

// The launcher's artwork, drawn at run time so that the program carries no image files.
namespace WindowArt {
QIcon appIcon();
QLabel* bannerPicture(QWidget* parent);
QLabel* sidePicture(QWidget* parent);
QFrame* line(QWidget* parent);
} // namespace WindowArt
