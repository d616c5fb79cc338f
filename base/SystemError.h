#pragma once

#include <QString>

// The system's own sentence for an errno value, in the user's locale ("No such file or directory").
QString systemErrorText(int error);
