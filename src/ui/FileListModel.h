#pragma once
// The rows of LB1: a view of the live object's rows, read where they are, with the entry's size,
// offset and type beside its name where the kind has them (or of a plain list of names). An archive of
// 100,000 entries costs no widget item per row, and each column is asked of the object only for the rows
// painted. A row of this model is always its entry index; filtering and sorting happen in FileFilterProxy.

#include <QAbstractTableModel>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {
class ContainerReader;
struct ContentKind;
struct EditRow;
} // namespace vexa

namespace vexa::ui {

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Name, Size, Offset, Type, Content, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Shows names alone, or the object's rows (the names' owner or the object must outlive the
    // model's use of them or be detached first with setRows(nullptr)).
    void setRows(const std::vector<std::string>* names);
    void setRows(const ContainerReader* object);
    void setRows(std::nullptr_t) { setRows(static_cast<const ContainerReader*>(nullptr)); }
    // The rows of an edit of object not yet saved (the owner of rows must outlive their use, as
    // above): kept entries show their offset and type, added and changed rows are marked.
    void setEditRows(const std::vector<EditRow>* rows, const ContainerReader* object);
    // What each entry of the object shown holds (null: data), in entry order; the owner outlives its
    // use as above. Null, or a list of another length, hides the column.
    void setContents(const std::vector<const ContentKind*>* contents);
    // Rows of files that are no entries (the New_C review), with the sizes of those files.
    void setFileRows(const std::vector<std::string>* rows, const std::vector<std::uint64_t>& sizes);
    // The names shown by setRows(names) or setFileRows; empty while an object's rows are shown.
    const std::vector<std::string>& rows() const;
    std::size_t count() const;
    const std::string& nameOf(std::size_t index) const;
    // Whether the rows shown have this column at all (a GOB has no type, a review no size).
    bool hasColumn(Column column) const;
    // The most digits a size or offset of these rows can have: no entry lies past the end of
    // its file, so the file's own size bounds them (an image listing's: the opened image's).
    int numberDigits() const;

    // The columns' values of entry index, for painting and for sorting.
    std::optional<std::uint64_t> sizeOf(std::size_t index) const;
    std::optional<std::uint64_t> offsetOf(std::size_t index) const;
    std::string typeOf(std::size_t index) const;
    // The content word ("picture"), empty where it is not known (a row not saved yet).
    std::string_view contentOf(std::size_t index) const;
    // What an edit row not yet saved is, for its hint: empty for an entry kept as it is.
    QString editNote(std::size_t index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  private:
    // The entry of object_ a row shows as it is stored (its offset and type still hold), if any.
    std::optional<std::size_t> storedEntry(std::size_t index) const;

    const std::vector<std::string>* names_ = nullptr;
    const ContainerReader* object_ = nullptr;
    const std::vector<EditRow>* edits_ = nullptr; // shown over object_ when set
    const std::vector<const ContentKind*>* contents_ = nullptr;
    bool hasOffset_ = false, hasType_ = false;
    bool fileRows_ = false; // sizes_ holds every row's size
    // An image listing's sizes are file sizes, asked of the file system: each is asked once.
    mutable std::vector<std::optional<std::uint64_t>> sizes_;
    mutable std::vector<bool> sized_;
};

} // namespace vexa::ui
