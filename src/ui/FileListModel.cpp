#include "ui/FileListModel.h"

#include <algorithm>
#include <limits>

namespace vexa::ui {

void FileListModel::setRows(const std::vector<std::string>* rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

const std::vector<std::string>& FileListModel::rows() const {
    static const std::vector<std::string> none;
    return rows_ ? *rows_ : none;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !rows_) return 0;
    return static_cast<int>(std::min<std::size_t>(rows_->size(), std::numeric_limits<int>::max()));
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !rows_ || !index.isValid() ||
        index.row() >= static_cast<int>(rows_->size()))
        return {};
    return QString::fromStdString((*rows_)[static_cast<std::size_t>(index.row())]);
}

} // namespace vexa::ui
