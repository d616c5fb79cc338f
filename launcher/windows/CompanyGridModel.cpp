#include "launcher/windows/CompanyGridModel.h"

#include "launcher/core/CompanyFields.h"

#include <QApplication>
#include <QPalette>

namespace {
const QStringList HeaderTexts = {QString(), QStringLiteral("ลำดับ"), QStringLiteral("รายชื่อบริษัท"),
                                 QStringLiteral("xx")};
}

CompanyGridModel::CompanyGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void CompanyGridModel::setCompanies(Recordset companies)
{
    const int count = companies.recordCount();
    // An empty table needs no fields: it shows no row.
    const int idField = count > 0 ? companies.indexOf(QStringLiteral("Company_ID")) : -1;
    const int nameField = count > 0 ? companies.indexOf(QStringLiteral("Company_Name")) : -1;
    beginResetModel();
    m_companies = std::move(companies);
    m_rowCount = count;
    m_idField = idField;
    m_nameField = nameField;
    endResetModel();
}

QString CompanyGridModel::idText(int row) const
{
    return CompanyFields::text(m_companies.valueAt(row, m_idField));
}

QString CompanyGridModel::nameText(int row) const
{
    return CompanyFields::text(m_companies.valueAt(row, m_nameField));
}

int CompanyGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int CompanyGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(HeaderTexts.size());
}

QVariant CompanyGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case 1:
        return idText(index.row());
    case 2:
        return nameText(index.row());
    default:
        return QString();
    }
}

QVariant CompanyGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= HeaderTexts.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return HeaderTexts.at(section);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
        return QApplication::palette().color(QPalette::Button);
    default:
        return {};
    }
}
