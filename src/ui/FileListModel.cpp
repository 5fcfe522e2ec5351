#include "ui/FileListModel.h"

#include "app/container_edit.h"
#include "app/listing.h"
#include "formats/container.h"
#include "formats/content.h"

#include <QApplication>
#include <QFont>
#include <QStyle>
#include <algorithm>
#include <filesystem>
#include <limits>

namespace vexa::ui {

void FileListModel::setRows(const std::vector<std::string>* names) {
    beginResetModel();
    names_ = names;
    object_ = nullptr;
    edits_ = nullptr;
    fileRows_ = false;
    sizes_.clear();
    sized_.clear();
    hasOffset_ = hasType_ = false;
    endResetModel();
}

void FileListModel::setRows(const ContainerReader* object) {
    setEditRows(nullptr, object);
}

void FileListModel::setEditRows(const std::vector<EditRow>* rows, const ContainerReader* object) {
    beginResetModel();
    names_ = nullptr;
    object_ = object;
    edits_ = object ? rows : nullptr;
    fileRows_ = false;
    sizes_.clear();
    sized_.clear();
    // A kind has offsets or types for all its entries or for none: the first one tells.
    const bool any = object_ && !object_->Rows().empty();
    hasOffset_ = any && object_->Rows().front().offset.has_value();
    hasType_ = any && !object_->Rows().front().type.empty();
    endResetModel();
}

void FileListModel::setContents(const std::vector<const ContentKind*>* contents) {
    beginResetModel();
    contents_ = contents;
    endResetModel();
}

void FileListModel::setFileRows(const std::vector<std::string>* rows,
                                const std::vector<std::uint64_t>& sizes) {
    beginResetModel();
    names_ = rows;
    object_ = nullptr;
    edits_ = nullptr;
    hasOffset_ = hasType_ = false;
    fileRows_ = rows != nullptr;
    const auto count = rows ? rows->size() : 0;
    sizes_.assign(count, std::nullopt);
    sized_.assign(count, true);
    for (std::size_t i = 0; i < count && i < sizes.size(); ++i)
        sizes_[i] = sizes[i];
    endResetModel();
}

const std::vector<std::string>& FileListModel::rows() const {
    static const std::vector<std::string> none;
    return names_ ? *names_ : none;
}

std::size_t FileListModel::count() const {
    if (edits_) return edits_->size();
    return object_ ? object_->EntryCount() : names_ ? names_->size() : 0;
}

const std::string& FileListModel::nameOf(std::size_t index) const {
    if (edits_) return edits_->at(index).name;
    return object_ ? object_->EntryName(index) : names_->at(index);
}

std::optional<std::size_t> FileListModel::storedEntry(std::size_t index) const {
    if (!edits_) return object_ && index < count() ? std::optional<std::size_t>(index) : std::nullopt;
    if (index >= edits_->size()) return std::nullopt;
    const auto& row = (*edits_)[index];
    if (!row.entry || row.replaced() || *row.entry >= object_->EntryCount()) return std::nullopt;
    return row.entry;
}

QString FileListModel::editNote(std::size_t index) const {
    if (!edits_ || index >= edits_->size()) return {};
    const auto& row = (*edits_)[index];
    const auto file = QString::fromStdString(pathText(row.file));
    if (row.added()) return QStringLiteral("Added from ") + file + QStringLiteral(", not saved yet");
    if (row.replaced()) return QStringLiteral("Replaced by ") + file + QStringLiteral(", not saved yet");
    if (*row.entry < object_->EntryCount() && object_->EntryName(*row.entry) != row.name)
        return QStringLiteral("Renamed from ") + QString::fromStdString(object_->EntryName(*row.entry)) +
               QStringLiteral(", not saved yet");
    return {};
}

bool FileListModel::hasColumn(Column column) const {
    switch (column) {
    case Name:
        return true;
    case Size:
        return object_ != nullptr || fileRows_;
    case Offset:
        return hasOffset_;
    case Type:
        return hasType_;
    case Content:
        return object_ && contents_ && contents_->size() == object_->EntryCount();
    default:
        return false;
    }
}

int FileListModel::numberDigits() const {
    constexpr int kFallback = 7;
    if (fileRows_) {
        std::uint64_t largest = 0;
        for (const auto& size : sizes_)
            largest = std::max(largest, size.value_or(0));
        return std::max(4, static_cast<int>(std::to_string(largest).size()));
    }
    if (!object_) return kFallback;
    std::error_code ec;
    auto size = std::filesystem::file_size(object_->ArchivePath(), ec);
    if (ec) return kFallback;
    if (edits_) // an added file may be larger than the whole container
        for (const auto& row : *edits_)
            size = std::max(size, row.size);
    return std::max(4, static_cast<int>(std::to_string(size).size()));
}

std::optional<std::uint64_t> FileListModel::sizeOf(std::size_t index) const {
    if (fileRows_) return index < sizes_.size() ? sizes_[index] : std::nullopt;
    if (edits_) return index < edits_->size() ? std::optional((*edits_)[index].size) : std::nullopt;
    if (!object_ || index >= count()) return std::nullopt;
    if (sizes_.size() != count()) {
        sizes_.assign(count(), std::nullopt);
        sized_.assign(count(), false);
    }
    if (!sized_[index]) {
        // The size a click shows; where the kind shows none (image files), the bytes it takes.
        sizes_[index] = storedSize(*object_, index);
        sized_[index] = true;
    }
    return sizes_[index];
}

std::optional<std::uint64_t> FileListModel::offsetOf(std::size_t index) const {
    const auto entry = hasOffset_ ? storedEntry(index) : std::nullopt;
    if (!entry) return std::nullopt;
    return object_->Rows()[*entry].offset;
}

std::string FileListModel::typeOf(std::size_t index) const {
    const auto entry = hasType_ ? storedEntry(index) : std::nullopt;
    if (!entry) return {};
    return std::string(std::string_view(object_->Rows()[*entry].type));
}

std::string_view FileListModel::contentOf(std::size_t index) const {
    const auto entry = hasColumn(Content) ? storedEntry(index) : std::nullopt;
    if (!entry) return {};
    const auto* kind = (*contents_)[*entry];
    return contentWord(kind ? kind->content : vexa::Content::Data);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(std::min<std::size_t>(count(), std::numeric_limits<int>::max()));
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= count()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::TextAlignmentRole)
        return index.column() == Size || index.column() == Offset
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (edits_ && (role == Qt::ToolTipRole || role == Qt::FontRole)) {
        // What Save will change stands out, and its hint says what it is.
        const auto note = editNote(row);
        if (!note.isEmpty()) {
            if (role == Qt::ToolTipRole) return note;
            QFont font;
            font.setItalic(true);
            return font;
        }
        if (role == Qt::FontRole) return {};
    }
    const auto entry = storedEntry(row);
    if (index.column() == Name && (role == Qt::DecorationRole || role == Qt::ToolTipRole) && entry) {
        // A damaged entry is marked and says why; it stays in the list like any other.
        const auto damage = object_->EntryDamage(*entry);
        if (damage.empty()) return {};
        if (role == Qt::ToolTipRole) return QStringLiteral("Damaged: ") + QString::fromStdString(damage);
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    }
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case Name:
        return QString::fromStdString(nameOf(row));
    case Size:
        if (const auto size = sizeOf(row)) return QString::number(*size);
        return {};
    case Offset:
        if (const auto offset = offsetOf(row)) return QString::number(*offset);
        return {};
    case Type:
        return QString::fromStdString(typeOf(row));
    case Content: {
        const auto word = contentOf(row);
        return QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()));
    }
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole)
        return section == Size || section == Offset ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                    : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (section) {
    case Name:
        return QStringLiteral("Name");
    case Size:
        return QStringLiteral("Size");
    case Offset:
        return QStringLiteral("Offset");
    case Type:
        return QStringLiteral("Type");
    case Content:
        return QStringLiteral("Content");
    default:
        return {};
    }
}

} // namespace vexa::ui
