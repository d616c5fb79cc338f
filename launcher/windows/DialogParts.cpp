#include "DialogParts.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace DialogParts {

QPushButton* button(QDialog* dialog, const QString& name, const QString& caption)
{
    auto* result = new QPushButton(caption, dialog);
    result->setObjectName(name);
    result->setAutoDefault(false);
    return result;
}

QLineEdit* textBox(QDialog* dialog, const QString& name)
{
    auto* box = new QLineEdit(dialog);
    box->setObjectName(name);
    return box;
}

QLabel* caption(QDialog* dialog, const QString& name, const QString& text, QLineEdit* box)
{
    auto* label = new QLabel(text, dialog);
    label->setObjectName(name);
    label->setBuddy(box);
    box->setAccessibleName(text);
    return label;
}

} // namespace DialogParts
