#pragma once
// The title list as a two-column table for the list view. The core list owns
// the rows, the selection and the focus; this adapter only shows them.
#include <QAbstractTableModel>
#include <QIcon>
#include <QString>

#include "project/TitleList.h"

namespace tl::ui {

class TitleListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TitleListModel(tl::TitleList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;

    void SetColumnCaptions(const QString& first, const QString& second);
    // The core list changed its rows: show them again.
    void RowsReset();
    tl::TitleList& List() { return list_; }

private:
    tl::TitleList& list_;
    QString captions_[2];
    QIcon rowIcon_;
};

} // namespace tl::ui
