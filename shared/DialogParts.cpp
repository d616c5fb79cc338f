#include "shared/DialogParts.h"

#include <QDialog>
#include <QHBoxLayout>
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

void okCancel(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel)
{
    ok = button(dialog, QStringLiteral("OKButton"), QStringLiteral("ตกลง"));
    ok->setDefault(true);
    cancel = button(dialog, QStringLiteral("CancelButton"), QStringLiteral("ยกเลิก"));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

QHBoxLayout* buttonRow(QPushButton* ok, QPushButton* cancel)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace DialogParts
