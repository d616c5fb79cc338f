#pragma once

#include <QString>
#include <QStringList>

class IMessageBox;
class QLineEdit;

// The folder box of a connection settings window, between what the operator types and what is tested
// and stored: a relative folder is made absolute against the folder the program started in, a folder
// that no data-link file or engine can carry is refused with a message, and a folder whose test has
// just failed is stored only when the operator says so.
class ConnectionFolderBox
{
public:
    static inline const QString LineBreakText =
        QStringLiteral("ที่อยู่ต้องไม่มีการขึ้นบรรทัดใหม่ กรุณาพิมพ์ที่อยู่ในบรรทัดเดียว");
    static inline const QString TooLongText = QStringLiteral("ที่อยู่ยาวเกินไป (%1 ตัวอักษร) กรุณาเลือกที่อยู่ที่สั้นกว่านี้");
    static inline const QString StoreFailedText = QStringLiteral("การเชื่อมต่อไม่สำเร็จ ต้องการบันทึกที่อยู่นี้หรือไม่");

    // The longest database path, in bytes of the file system's encoding, that the engine opens: its
    // paths hold at most 512 bytes, and the journal's name ("-journal" added) must fit as well.
    static constexpr qsizetype MaxDatabasePathBytes = 504;

    ConnectionFolderBox(IMessageBox& messages, QLineEdit& box, QString startFolder,
                        QStringList fileBelowFolder);

    // The folder as it is tested and stored: an empty text stays empty, an absolute one is kept as typed,
    // a relative one is joined to the start folder.
    static QString absolute(const QString& typed, const QString& startFolder);

    // The test button: refuses an unusable folder, shows the absolute folder in the box and tests it.
    void test();
    // Before the folder is stored: refuses an unusable folder and asks before storing one whose test has
    // just failed. True when the box (now holding the absolute folder) may be stored; maxStoredLength is
    // the longest text the store keeps, or negative for no limit.
    bool readyToStore(qsizetype maxStoredLength);

private:
    // Puts the absolute folder into the box and returns it, or shows why it cannot be used and returns
    // nothing.
    bool takeAbsolute(QString& folder, qsizetype maxStoredLength);

    IMessageBox& m_messages;
    QLineEdit& m_box;
    QString m_startFolder;
    QStringList m_fileBelowFolder;
    QString m_failedFolder;
};
