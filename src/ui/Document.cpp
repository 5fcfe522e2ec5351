#include "ui/Document.h"

#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "images/Png_writer.h"

#include <utility>

namespace vexa::ui {

namespace fs = std::filesystem;

namespace {

// The content of each entry; a file whose entries cannot be looked into still opens, all of them data.
std::vector<const ContentKind*> contentsOf(const ContainerReader& reader, ContainerType kind) {
    try {
        return classifyEntries(reader, kind);
    } catch (const Error&) {
        return std::vector<const ContentKind*>(reader.EntryCount(), nullptr);
    }
}

} // namespace

Document::Document(QObject* parent) : QObject(parent) {
    connect(&history_, &EditHistory::changed, this, &Document::takeEditRows);
    connect(&jobs_, &JobRunner::runningChanged, this, &Document::jobRunningChanged);
}

void Document::detect(const fs::path& path) {
    std::error_code ec;
    if (fs::exists(path, ec) || !path.has_parent_path()) {
        auto bytes = openFileBytes(path);
        const auto kind = detectKind(*bytes, pathText(path.filename()));
        bytes_ = std::move(bytes);
        path_ = path;
        kind_ = kind;
        outer_.clear();
        return;
    }
    auto opened = openPath(path);
    const auto innermost = opened.levels.back().container;
    opened.levels.pop_back();
    bytes_ = innermost.reader->ArchiveBytes();
    path_ = bytes_->path();
    kind_ = innermost.kind->code;
    outer_ = std::move(opened.levels);
}

void Document::detectEntry(std::size_t index) {
    if (!reader_ || kind_ == ContainerType::Unknown) throw Error("No container is open");
    const OpenedContainer here{findKind(kind_), reader_};
    // Throws, naming what the entry holds, when it is no container: nothing has changed then.
    const auto inner = openEntry(here, index);
    outer_.push_back({here, index});
    bytes_ = inner.reader->ArchiveBytes();
    path_ = bytes_->path();
    kind_ = inner.kind->code;
}

std::size_t Document::detectLevel(std::size_t depth) {
    if (depth >= outer_.size())
        throw Error("No level " + std::to_string(depth) + " above the open container");
    const auto level = outer_[depth];
    outer_.resize(depth);
    bytes_ = level.container.reader->ArchiveBytes();
    path_ = bytes_->path();
    kind_ = level.container.kind->code;
    return level.entry.value_or(0);
}

std::vector<std::string> Document::levelNames() const {
    std::vector<std::string> names;
    const auto& file = outer_.empty() ? path_ : outer_.front().container.reader->ArchivePath();
    names.push_back(pathText(file.filename()));
    for (const auto& level : outer_)
        if (level.entry) names.push_back(level.container.reader->EntryName(*level.entry));
    return names;
}

bool Document::readDirectory(Done done) {
    if (jobs_.running()) return false;
    // A kind with a game palette makes it the current one as the file opens, as it always did.
    changePalette([this](Palette& palette) { loadKindPalette(kind_, gamePalettes_, palette); });
    std::shared_ptr<ContainerReader> reader = CreateContainerObject(kind_);
    if (!reader) throw Error("Sorry do not know that file type");
    auto contents = std::make_shared<std::vector<const ContentKind*>>();
    return jobs_.start(
        [reader, contents, kind = kind_, bytes = std::move(bytes_)](JobProgress&) {
            reader->ReadDirectory(bytes);
            *contents = contentsOf(*reader, kind);
        },
        [this, reader, contents, done = std::move(done)](std::exception_ptr error) {
            if (jobs_.cancelled()) return done(std::make_exception_ptr(Cancelled("Opening cancelled")));
            // A directory that could not be read leaves its reader the open one, without an
            // edit.
            takeReader(reader, std::move(*contents));
            if (!error) {
                startEditing();
                emit opened();
            }
            done(error);
        });
}

void Document::close() {
    takeReader(nullptr);
    history_.reset(std::nullopt);
}

void Document::takeReader(std::shared_ptr<const ContainerReader> reader,
                          std::vector<const ContentKind*> contents) {
    emit rowsAboutToChange();
    reader_ = std::move(reader);
    contents_ = std::move(contents);
}

const ContentKind* Document::rowContent(std::size_t row) const {
    const auto entry = storedEntry(row);
    return entry && *entry < contents_.size() ? contents_[*entry] : nullptr;
}

void Document::startEditing() {
    // A file that lists but cannot be edited (a damaged entry) is shown as it is, without an edit.
    // An entry of another container is read only: saving it would mean rewriting the outer file.
    std::optional<ContainerEdit> edit;
    if (reader_ && !nested() && ContainerEdit::Editable(kind_)) try {
            edit.emplace(reader_, kind_);
            edit->setImportOptions({gamePalettes_, false});
        } catch (const Error&) {
        }
    history_.reset(std::move(edit));
}

void Document::takeEditRows() {
    emit rowsAboutToChange();
    editRows_.clear();
    if (history_.modified()) editRows_ = history_.edit()->rows();
    emit editsChanged();
}

std::optional<std::size_t> Document::storedEntry(std::size_t row) const {
    if (!history_.modified()) return row;
    if (row >= editRows_.size()) return std::nullopt;
    const auto& edited = editRows_[row];
    if (!edited.entry || edited.replaced()) return std::nullopt;
    return edited.entry;
}

std::optional<std::uint64_t> Document::rowSize(std::size_t row) const {
    if (history_.modified()) return editRows_.at(row).size;
    if (!reader_) return std::nullopt;
    return reader_->EntrySize(row);
}

bool Document::save(std::optional<SaveTarget> target, ContainerEdit::Writing writing, Done done) {
    if (jobs_.running() || !history_.edit()) return false;
    // The worker saves a copy; the edit shown stays as it is until the copy is saved whole.
    auto copy = std::make_shared<ContainerEdit>(*history_.edit());
    auto contents = std::make_shared<std::vector<const ContentKind*>>();
    return jobs_.start(
        [copy, contents, target = std::move(target), writing](JobProgress& progress) {
            if (target)
                copy->saveAs(target->path, target->kind, &progress);
            else
                copy->save(&progress, writing);
            *contents = contentsOf(*copy->reader(), copy->kind());
        },
        [this, copy, contents, done = std::move(done)](std::exception_ptr error) {
            if (!error) adoptSaved(*copy, std::move(*contents));
            done(error);
        });
}

void Document::adoptSaved(const ContainerEdit& saved, std::vector<const ContentKind*> contents) {
    takeReader(saved.reader(), std::move(contents));
    kind_ = saved.kind();
    path_ = saved.path();
    history_.reset(saved);
    emit opened();
}

bool Document::extract(std::vector<std::size_t> rows, fs::path target, bool raw, ExtractDone done,
                       bool convert) {
    if (jobs_.running() || !reader_ || rows.empty()) return false;
    // What the job leaves for this thread: written by the worker, read once it has ended.
    struct Outcome {
        ExtractionResult result;
        Palette palette;
    };
    auto outcome = std::make_shared<Outcome>();
    outcome->palette = palette_;
    ExtractionOptions options;
    options.games = gamePalettes_;
    options.raw = raw;
    options.convert = convert && !raw;
    options.container = kind_;
    // As the command line converts: PNG for what it decodes, a texture kind keeping its BMP.
    if (options.convert && !reader_->HasPictures() && pngOutputBuilt()) options.pictures = PictureFormat::Png;
    const int maximum = progressPosition(rows.back());
    return jobs_.start(
        [outcome, reader = reader_, target = std::move(target), rows = std::move(rows), maximum,
         options](JobProgress& progress) mutable {
            progress.setRange(maximum);
            options.afterRow = [&progress](std::size_t row) { progress.setPosition(progressPosition(row)); };
            options.cancelled = [&progress] { return progress.cancelRequested(); };
            outcome->result = extractRows(*reader, target, rows, options, outcome->palette);
        },
        [this, outcome, done = std::move(done)](std::exception_ptr error) {
            // Pictures with their own palette (a WAD3's textures, a JK BM's) or their game's leave
            // it as the current one, also when the run ended early.
            setCurrentPalette(std::move(outcome->palette));
            done(outcome->result, error);
        });
}

ExtractionResult Document::extractNow(const std::vector<std::size_t>& rows, const fs::path& target) {
    if (!reader_) return {};
    ExtractionOptions options;
    options.games = gamePalettes_;
    ExtractionResult result;
    changePalette([&](Palette& palette) { result = extractRows(*reader_, target, rows, options, palette); });
    return result;
}

void Document::setCurrentPalette(Palette palette) {
    changePalette([&](Palette& current) { current = std::move(palette); });
}

void Document::changePalette(const std::function<void(Palette&)>& change) {
    const Palette before = palette_;
    // What a change leaves is the current palette, also when it throws on its way.
    const auto announce = [&] {
        if (palette_.table != before.table || palette_.source != before.source) emit paletteChanged();
    };
    try {
        change(palette_);
    } catch (...) {
        announce();
        throw;
    }
    announce();
}

} // namespace vexa::ui
