#pragma once
// What LB1 shows of its FileListModel: the rows the filter field's pattern keeps, as `--filter` takes
// it ("content:picture" then a name pattern, the core's NameFilter), in archive order or sorted by a
// column. A row of this proxy is a
// position on screen, never an entry index: entryIndex() is the one way from one to the other.

#include "base/filter.h"
#include "formats/content.h"

#include <QSortFilterProxyModel>

#include <cstddef>
#include <optional>
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
    // Why the pattern keeps no row whatever the rows are (a content word no row can have), or empty.
    const QString& patternError() const { return error_; }

    // The entry index of a row shown (an index of this proxy, any column).
    std::size_t entryIndex(const QModelIndex& shown) const;

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    FileListModel& rows_;
    std::string pattern_;
    NameFilter filter_{""};
    std::optional<Content> content_;
    QString error_;
};

} // namespace vexa::ui
