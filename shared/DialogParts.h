#pragma once

#include <QString>

class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// Pieces the programs' small dialogs share.
namespace DialogParts {
QPushButton* button(QDialog* dialog, const QString& name, const QString& caption);
QLineEdit* textBox(QDialog* dialog, const QString& name);
// A caption label for a text box; the box takes the caption as its accessible name.
QLabel* caption(QDialog* dialog, const QString& name, const QString& text, QLineEdit* box);
// The dialogs' "ตกลง" (default) and "ยกเลิก" buttons, named OKButton and CancelButton; Cancel rejects.
void okCancel(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel);
// The two buttons at the right of a row.
QHBoxLayout* buttonRow(QPushButton* ok, QPushButton* cancel);
} // namespace DialogParts
