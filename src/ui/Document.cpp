#include "ui/Document.h"

#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"

#include <utility>

namespace vexa::ui {

namespace fs = std::filesystem;

Document::Document(QObject* parent) : QObject(parent) {
    connect(&history_, &EditHistory::changed, this, &Document::takeEditRows);
    connect(&jobs_, &JobRunner::runningChanged, this, &Document::jobRunningChanged);
}

void Document::detect(const fs::path& path) {
    auto bytes = openFileBytes(path);
    const auto kind = detectKind(*bytes, pathText(path.filename()));
    bytes_ = std::move(bytes);
    path_ = path;
    kind_ = kind;
}

bool Document::readDirectory(Done done) {
    if (jobs_.running()) return false;
    // A kind with a game palette makes it the current one as the file opens, as it always did.
    changePalette([this](Palette& palette) { loadKindPalette(kind_, gamePalettes_, palette); });
    std::shared_ptr<ContainerReader> reader = CreateContainerObject(kind_);
    if (!reader) throw Error("Sorry do not know that file type");
    return jobs_.start([reader, bytes = std::move(bytes_)](JobProgress&) { reader->ReadDirectory(bytes); },
                       [this, reader, done = std::move(done)](std::exception_ptr error) {
                           if (jobs_.cancelled())
                               return done(std::make_exception_ptr(Cancelled("Opening cancelled")));
                           // A directory that could not be read leaves its reader the open one, without an
                           // edit.
                           takeReader(reader);
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

void Document::takeReader(std::shared_ptr<const ContainerReader> reader) {
    emit rowsAboutToChange();
    reader_ = std::move(reader);
}

void Document::startEditing() {
    // A file that lists but cannot be edited (a damaged entry) is shown as it is, without an edit.
    std::optional<ContainerEdit> edit;
    if (reader_ && ContainerEdit::Editable(kind_)) try {
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
    return jobs_.start(
        [copy, target = std::move(target), writing](JobProgress& progress) {
            if (target)
                copy->saveAs(target->path, target->kind, &progress);
            else
                copy->save(&progress, writing);
        },
        [this, copy, done = std::move(done)](std::exception_ptr error) {
            if (!error) adoptSaved(*copy);
            done(error);
        });
}

void Document::adoptSaved(const ContainerEdit& saved) {
    takeReader(saved.reader());
    kind_ = saved.kind();
    path_ = saved.path();
    history_.reset(saved);
    emit opened();
}

bool Document::extract(std::vector<std::size_t> rows, fs::path target, bool raw, ExtractDone done) {
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
