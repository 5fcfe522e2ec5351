#pragma once
// What LB1 shows of its FileListModel: the rows whose names the filter field's pattern matches
// (the core's NameFilter), in archive order or sorted by a column. A row of this proxy is a
// position on screen, never an entry index: entryIndex() is the one way from one to the other.

#include "base/filter.h"

#include <QSortFilterProxyModel>

#include <cstddef>
#include <string>

namespace vexa::ui {

class FileListModel;

class FileFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit FileFilterProxy(FileListModel& rows, QObject* parent = nullptr);

    void setPattern(const QString& pattern);
    const std::string& pattern() const { return pattern_; }
    bool filtered() const { return !pattern_.empty(); }

    // The entry index of a row shown (an index of this proxy, any column).
    std::size_t entryIndex(const QModelIndex& shown) const;

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    FileListModel& rows_;
    std::string pattern_;
    NameFilter filter_{""};
};

} // namespace vexa::ui
