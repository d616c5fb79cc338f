#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// The folder of a company being added, from the moment its identifier is taken until its row is in the
// master. Making the folder (mkdir, which only one program can win) reserves the identifier: an
// identifier whose folder exists already is passed by, so that no older file is ever replaced, deleted
// or adopted by a new company. While the add runs, the folder holds a marker file with a record lock on
// it; a marker that nobody holds any more belongs to an add that was killed, and recover() removes what
// that add had made.
class NewCompanyFolder
{
public:
    // Makes the folder of the first free identifier from firstId on, under companyData. Raises error 6
    // when no identifier up to 32767 is free, and a described error when the folder cannot be made.
    static NewCompanyFolder reserve(const QString& companyData, int firstId);

    NewCompanyFolder(NewCompanyFolder&& other) noexcept;
    NewCompanyFolder& operator=(NewCompanyFolder&&) = delete;
    NewCompanyFolder(const NewCompanyFolder&) = delete;
    NewCompanyFolder& operator=(const NewCompanyFolder&) = delete;
    // Unless kept, removes what the add put in the folder and the folder itself.
    ~NewCompanyFolder();

    std::int16_t id() const { return m_id; }
    QString path() const { return m_path; }
    // The add is complete (its row is in the master): the folder stays, the marker goes.
    void keep();

    // For every company folder under companyData whose marker nobody holds: when isRecorded says the
    // company has its row, only the marker goes; otherwise the folder's files and the folder go. Each
    // folder is looked at while its marker is locked, so a running add is never touched.
    static void recover(const QString& companyData, const std::function<bool(std::int16_t)>& isRecorded);

    static const QString MarkerName;

private:
    NewCompanyFolder(std::int16_t id, QString path, int markerFd);

    std::int16_t m_id = 0;
    QString m_path;
    int m_markerFd = -1;
};
