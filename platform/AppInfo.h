#pragma once

#include <QString>

// What the program knows about itself: its folder (no trailing separator), product name, file name and
// version. The product name is also every message box's default title.
struct AppInfo
{
    QString folder;
    // The working folder when the program started, against which relative paths typed by the operator
    // are made absolute.
    QString startFolder;
    QString productName;
    QString fileName;
    int major = 0;
    int minor = 0;
    int revision = 0;

    // The running program's values, with the version compiled in.
    static AppInfo current(const QString& productName);
};
