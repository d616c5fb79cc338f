#pragma once

#include "engine/Recordset.h"

#include <QAbstractTableModel>
#include <QStringList>

// The chooser's grid: four columns (an empty one, the identifier, the name, a trailing empty one), every
// cell centred. Data rows only; the header texts are the model's header. The model keeps the Company rows
// as the engine read them and makes a cell's text only when the view or a screen reader asks for it, so
// that filling the grid costs no more than the read, whatever the number of companies.
class CompanyGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CompanyGridModel(QObject* parent = nullptr);

    // Shows the rows of a recordset of the Company table, which the model keeps. Throws AppError when
    // rows are there without the COMPANY_ID and COMPANY_NAME fields.
    void setCompanies(Recordset companies);
    // The texts a row shows: empty for a null.
    QString idText(int row) const;
    QString nameText(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    Recordset m_companies;
    int m_rowCount = 0;
    int m_idField = -1;
    int m_nameField = -1;
};
