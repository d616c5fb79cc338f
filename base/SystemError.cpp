#include "base/SystemError.h"

#include <cstring>

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
