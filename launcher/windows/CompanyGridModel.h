#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// The chooser's grid: four columns (an empty one, the identifier, the name, a trailing empty one), every
// cell centred. Data rows only; the header texts are the model's header.
class CompanyGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Row
    {
        QString id;
        QString name;
    };

    explicit CompanyGridModel(QObject* parent = nullptr);

    void setRows(QVector<Row> rows);
    const Row& row(int index) const { return m_rows.at(index); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVector<Row> m_rows;
};
