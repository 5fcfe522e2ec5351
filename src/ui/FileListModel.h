#pragma once
// The rows of LB1: a view of the live object's EntryNames, read where they are. An archive of
// 100,000 entries costs no widget item per row, and its rows are never sorted or filtered (a row's
// index is its entry index).

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace vexa::ui {

class FileListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;

    // Shows rows (owned by the live object, which must outlive the model's use of them or be
    // detached first with setRows(nullptr)).
    void setRows(const std::vector<std::string>* rows);
    const std::vector<std::string>& rows() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    const std::vector<std::string>* rows_ = nullptr;
};

} // namespace vexa::ui
