#include "base/AppError.h"

AppError::AppError(long number, QString description)
    : m_number(number), m_description(std::move(description)),
      m_what(QStringLiteral("Run-time error %1: %2").arg(number).arg(m_description).toStdString())
{}
