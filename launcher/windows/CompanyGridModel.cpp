#include "launcher/windows/CompanyGridModel.h"

#include <QApplication>
#include <QPalette>

namespace {
const QStringList HeaderTexts = {QString(), QStringLiteral("ลำดับ"), QStringLiteral("รายชื่อบริษัท"),
                                 QStringLiteral("xx")};
}

CompanyGridModel::CompanyGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void CompanyGridModel::setRows(QVector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int CompanyGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CompanyGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(HeaderTexts.size());
}

QVariant CompanyGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    const Row& row = m_rows.at(index.row());
    switch (index.column()) {
    case 1:
        return row.id;
    case 2:
        return row.name;
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
