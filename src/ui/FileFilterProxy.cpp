#include "ui/FileFilterProxy.h"

#include "ui/FileListModel.h"

#include "app/extract.h"
#include "base/errors.h"

#include <algorithm>

namespace vexa::ui {

namespace {

// Names sort as a file manager lists them: without regard to ASCII letter case first.
int compareNames(const std::string& a, const std::string& b) {
    const auto fold = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    const auto n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int fa = fold(static_cast<unsigned char>(a[i])), fb = fold(static_cast<unsigned char>(b[i]));
        if (fa != fb) return fa < fb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

FileFilterProxy::FileFilterProxy(FileListModel& rows, QObject* parent)
    : QSortFilterProxyModel(parent), rows_(rows) {
    setSourceModel(&rows);
    // Sorting is asked for by a header click, never redone on its own: rows do not change while
    // they are shown, and a re-sort of 100,000 rows on every model signal would cost for nothing.
    setDynamicSortFilter(false);
}

void FileFilterProxy::setPattern(const QString& pattern) {
    auto utf8 = pattern.toStdString();
    if (utf8 == pattern_) return;
    pattern_ = std::move(utf8);
    error_.clear();
    content_.reset();
    try {
        auto parsed = parseRowPattern(pattern_);
        content_ = parsed.content;
        filter_ = NameFilter(parsed.names);
    } catch (const Error& e) { // a word still being typed ("content:pic") keeps no row until it is whole
        error_ = QString::fromUtf8(e.what());
        filter_ = NameFilter("");
    }
    invalidateFilter();
    // Rows the filter lets back in come in archive order: with dynamic sorting off, the order
    // asked for by the header is put back by hand.
    if (sortColumn() >= 0) sort(sortColumn(), sortOrder());
}

std::size_t FileFilterProxy::entryIndex(const QModelIndex& shown) const {
    return static_cast<std::size_t>(mapToSource(shown).row());
}

bool FileFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (!error_.isEmpty()) return false;
    const auto row = static_cast<std::size_t>(sourceRow);
    if (row >= rows_.count()) return false;
    if (content_) {
        const auto word = rows_.contentOf(row);
        if (word.empty() || contentOfWord(word) != content_) return false;
    }
    return filter_.empty() || filter_.matches(rows_.nameOf(row));
}

bool FileFilterProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const auto a = static_cast<std::size_t>(left.row()), b = static_cast<std::size_t>(right.row());
    switch (left.column()) {
    case FileListModel::Size:
        return rows_.sizeOf(a) < rows_.sizeOf(b); // an unknown size sorts first
    case FileListModel::Offset:
        return rows_.offsetOf(a) < rows_.offsetOf(b);
    case FileListModel::Type:
        return rows_.typeOf(a) < rows_.typeOf(b);
    case FileListModel::Content:
        return rows_.contentOf(a) < rows_.contentOf(b);
    default:
        return compareNames(rows_.nameOf(a), rows_.nameOf(b)) < 0;
    }
}

} // namespace vexa::ui
