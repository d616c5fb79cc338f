#pragma once

#include <QString>
#include <QStringList>

class IMessageBox;

// The test button of both connection settings windows: opens the database file that a folder should
// hold, with the common password, on a connection of its own, and tells the operator whether it opened.
namespace ConnectionTestButton {

inline const QString EmptyFolderText = QStringLiteral("กรุณาเลือกไฟล์ฐานข้อมูล");
inline const QString SuccessText = QStringLiteral("เชื่อมต่อฐานข้อมูลสำเร็จ");
inline const QString FailureText = QStringLiteral("การเชื่อมต่อไม่สำเร็จ กรุณาตรวจสอบที่ตั้งเซิร์ฟวเวอร์ให้ถูกต้อง");

// The file tested: the folder text as typed joined with the file's path below it. Names written for a
// filesystem that ignores case ("COMPANYDATA") are looked up ignoring case when they do not exist as
// written; otherwise the path is kept exactly as typed, a doubled separator included.
QString TestedFile(const QString& folder, const QStringList& fileBelowFolder);

// The test connection string for that file.
QString TestString(const QString& folder, const QStringList& fileBelowFolder);

// The click: a message for an empty folder box, otherwise one connection opened and closed and the
// outcome shown. Every failure of the connection ends in the one failure message. True when it opened.
bool Click(IMessageBox& messages, const QString& folder, const QStringList& fileBelowFolder);

} // namespace ConnectionTestButton
