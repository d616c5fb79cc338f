#pragma once

#include "base/UniqueFd.h"
#include "launcher/core/PendingAdds.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

// The folder of a company being added, from the moment its identifier is taken until its row is in the
// master. The add first claims the identifier with a locked marker in the folder of adds in progress
// (PendingAdds), then makes the company's folder (mkdir): an identifier whose folder exists already is
// passed by, so that no older file is ever replaced, deleted or adopted by a new company. The marker
// then says that its add made the folder. A marker that nobody holds any more belongs to an add that was
// killed, and recover() removes what that add had made.
class NewCompanyFolder
{
public:
    // Claims the first free identifier from firstId on and makes its folder under companyData. Raises
    // error 6 when no identifier up to 32767 is free, and a described error when the marker or the folder
    // cannot be made.
    static NewCompanyFolder reserve(const QString& companyData, int firstId);

    NewCompanyFolder(NewCompanyFolder&& other) noexcept = default;
    NewCompanyFolder& operator=(NewCompanyFolder&&) = delete;
    NewCompanyFolder(const NewCompanyFolder&) = delete;
    NewCompanyFolder& operator=(const NewCompanyFolder&) = delete;
    // Unless kept, removes what the add put in the folder, the folder itself and the marker.
    ~NewCompanyFolder();

    std::int16_t id() const { return m_id; }
    QString path() const { return m_path; }
    // The add is complete (its row is in the master): the folder stays, the marker goes.
    void keep();

    // For every marker in the folder of adds in progress under companyData that nobody holds: when
    // isRecorded says the company has its row, or the marker says no folder was made, only the marker
    // goes; otherwise the add's files in the company's folder and that folder (when nothing else is in
    // it) go too. Each is looked at while its marker is locked, so a running add is never touched. The
    // work grows with the number of markers only, not with the number of companies. Returns what could
    // not be cleaned up or was left alone, one described problem each; nothing else is touched for them.
    static QStringList recover(const QString& companyData,
                               const std::function<bool(std::int16_t)>& isRecorded);

private:
    NewCompanyFolder(std::int16_t id, QString companyData, PendingAdds pending, UniqueFd marker);

    std::int16_t m_id = 0;
    QString m_companyData;
    QString m_path;
    std::optional<PendingAdds> m_pending;
    UniqueFd m_marker;
};
