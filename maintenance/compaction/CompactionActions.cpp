#include "maintenance/compaction/ComprimirAccess2000.h"

#include <QLabel>
#include <QLineEdit>

namespace ComprimirAccess2000 {

namespace {

// The hourglass comes down however the compaction ends.
class BusyPointer
{
public:
    explicit BusyPointer(IScreenPointer& pointer) : m_pointer(pointer) { m_pointer.setBusy(true); }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    void release()
    {
        if (m_busy)
            m_pointer.setBusy(false);
        m_busy = false;
    }

private:
    IScreenPointer& m_pointer;
    bool m_busy = true;
};

} // namespace

void cmdSelectFile(Module& module, const CompactionPage& page)
{
    page.lblFinalSize.setText(QString());
    page.lblOriginalSize.setText(QString());
    page.txtCompactFileName.setText(
        OpenFileDialog(module, QStringLiteral("Select Access DataBase to Optimize (Compact)"),
                       QStringLiteral("Access Databases|*.mdb"), QStringLiteral("*.mdb")));
    if (!page.txtCompactFileName.text().isEmpty())
        page.lblOriginalSize.setText(FileSizeText(page.txtCompactFileName.text()));
}

void cmdCompactDatabase(Module& module, const CompactionPage& page)
{
    if (module.messages.show(QStringLiteral("Do you want to compact Database ? "), MsgStyle::YesNoQuestion,
                             QStringLiteral("Question")) == MsgResult::No)
        return;
    if (page.txtCompactFileName.text().isEmpty()) {
        module.messages.show(QStringLiteral("Choose Database file before compact!!!"), MsgStyle::Critical,
                             QStringLiteral("Error"));
        return;
    }
    BusyPointer busy(module.pointer);
    const QString path = page.txtCompactFileName.text();
    CompactDatabaseFile(module, path, page.TxtPassword.text(), &page.TxtPassword);
    page.lblFinalSize.setText(FileSizeText(path));
    busy.release();
    if (module.LastCompactOK)
        module.messages.show(QStringLiteral("Compact Database Completed..."), MsgStyle::Information,
                             QStringLiteral("Information"));
}

} // namespace ComprimirAccess2000
