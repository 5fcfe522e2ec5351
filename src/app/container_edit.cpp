#include "app/container_edit.h"

#include "app/kinds.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/texture_wad.h"
#include "formats/writer.h"
#include "images/palette_files.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <unordered_map>

namespace vexa {

namespace {

const ContainerKind* writableKind(ContainerType kind) {
    const auto* k = findKind(kind);
    return k && k->createWriter ? k : nullptr;
}

std::unique_ptr<EntryLayoutWriter> writerFor(ContainerType kind) {
    const auto* k = writableKind(kind);
    if (!k) throw Error(std::string(kindName(kind)) + " files cannot be edited");
    return k->createWriter();
}

bool hasFolders(ContainerType kind) {
    const auto* k = findKind(kind);
    return k && k->createWriter && k->namesHoldFolders;
}

// The texture kind whose pictures a container kind holds (WAD2, WAD3), if any.
std::optional<TextureKind> texturesOf(ContainerType kind) {
    const auto* k = findKind(kind);
    if (!k) return std::nullopt;
    for (const auto& item : k->newItems)
        if (item.textures && textureKindInfo(*item.textures).manyPictures) return item.textures;
    return std::nullopt;
}

bool ignoresCase(ContainerType kind) {
    const auto* k = findKind(kind);
    return k && k->namesIgnoreCase;
}

// A name as the rows show it: "\" between levels ("/" is taken for it). Empty levels, "." and ".."
// are refused: extracted, they would not come back as the same file.
std::string normalName(std::string name, bool folders, const fs::path& container) {
    std::replace(name.begin(), name.end(), '/', '\\');
    const auto refuse = [&](const std::string& why) {
        throw Error(displayPath(container) + ": the name '" + name + "' " + why);
    };
    if (name.empty()) refuse("is empty");
    if (!folders && name.find('\\') != std::string::npos)
        refuse("holds a folder level; this kind stores no folders");
    for (std::size_t start = 0;;) {
        const auto sep = name.find('\\', start);
        const auto level = std::string_view(name).substr(start, sep - start);
        if (level.empty() || level == "." || level == "..")
            refuse("has an empty, \".\" or \"..\" folder level");
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    return name;
}

// The file a container was read from (for one inside another, the outer file).
const InputFile& fileOf(const ContainerReader& reader) {
    const auto* bytes = reader.Archive();
    if (!bytes || !bytes->file())
        throw Error(displayPath(reader.ArchivePath()) + ": only a container read from a file can be edited");
    return *bytes->file();
}

// Whether the container is a file of its own, which a save can replace or change where it lies.
bool wholeFile(const ContainerReader& reader) {
    return reader.Archive() && reader.Archive()->file() == reader.Archive();
}

// The file path names through any symbolic links: a save replaces that file and keeps the link (as
// `sed -i --follow-symlinks`), where renaming over the link would put a plain file in its place.
fs::path throughLinks(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    auto target = fs::canonical(path, ec);
    return ec ? path : target;
}

} // namespace

ContainerEdit::ContainerEdit(std::shared_ptr<const ContainerReader> reader, ContainerType kind)
    : reader_(std::move(reader)), kind_(kind), files_(std::make_shared<const std::vector<AddedFile>>()),
      steps_(std::make_shared<const std::vector<Step>>()), ignoreCase_(ignoresCase(kind)) {
    if (!Editable(kind_) || !reader_ || !reader_->Archive())
        throw Error(displayPath(reader_ ? reader_->ArchivePath() : fs::path()) + ": " +
                    std::string(kindName(kind_)) +
                    " files cannot be edited; these kinds can: " + EditableKindNames());
    fileOf(*reader_);
    rows_.resize(reader_->EntryCount());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i].entry = i;
}

std::optional<TextureKind> ContainerEdit::textureKind() const {
    return texturesOf(kind_);
}

void ContainerEdit::setImportOptions(ImportOptions options) {
    import_ = std::make_shared<const ImportOptions>(std::move(options));
}

bool ContainerEdit::Editable(ContainerType kind) {
    return writableKind(kind) != nullptr;
}

std::string ContainerEdit::EditableKindNames() {
    // In the New_C page's order, each kind once.
    std::string names;
    std::vector<ContainerType> named;
    for (const auto& k : creatableKinds()) {
        if (!Editable(k.code) || std::find(named.begin(), named.end(), k.code) != named.end()) continue;
        named.push_back(k.code);
        names += (names.empty() ? "" : ", ") + std::string(kindName(k.code));
    }
    return names;
}

bool ContainerEdit::HasFolders(ContainerType kind) {
    return hasFolders(kind);
}

const fs::path& ContainerEdit::path() const {
    return reader_->ArchivePath();
}

EditRow ContainerEdit::row(std::size_t index) const {
    const auto& r = rows_.at(index);
    EditRow out;
    out.name = nameOf(r);
    out.size = sizeOf(r);
    if (r.entry != kNone) out.entry = r.entry;
    if (r.file != kNone) out.file = (*files_)[r.file].path;
    return out;
}

std::vector<EditRow> ContainerEdit::rows() const {
    std::vector<EditRow> out;
    out.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        out.push_back(row(i));
    return out;
}

std::optional<std::size_t> ContainerEdit::find(const std::string& name) const {
    auto wanted = name;
    std::replace(wanted.begin(), wanted.end(), '/', '\\');
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (nameOf(rows_[i]) == wanted) return i;
    if (ignoreCase_)
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (equalsNoCase(nameOf(rows_[i]), wanted)) return i;
    return std::nullopt;
}

std::string ContainerEdit::matchKey(std::string key) const {
    return ignoreCase_ ? toUpperAscii(key) : key;
}

bool ContainerEdit::sameName(const std::string& a, const std::string& b) const {
    return ignoreCase_ ? equalsNoCase(a, b) : a == b;
}

const std::string& ContainerEdit::nameOf(const Row& r) const {
    return r.name.empty() ? reader_->EntryName(r.entry) : r.name;
}

std::uint64_t ContainerEdit::sizeOf(const Row& r) const {
    return r.file != kNone ? (*files_)[r.file].size : reader_->EntrySize(r.entry).value_or(0);
}

WriterEntry ContainerEdit::writerEntry(const Row& r, bool sameKind) const {
    WriterEntry entry{nameOf(r), sizeOf(r), {}};
    if (r.entry != kNone && sameKind) {
        entry.stored = reader_->EntryStoredFields(r.entry);
        if (r.newType) entry.stored.code.reset();
    }
    if (r.file != kNone) {
        const auto& file = (*files_)[r.file];
        entry.stored.time = file.time;
        if (file.code) entry.stored.code = file.code;
        // New bytes are stored as they are.
        if (entry.stored.code && texturesOf(kind_)) (*entry.stored.code)[1] = 0;
    }
    return entry;
}

std::string ContainerEdit::keyOf(const EntryLayoutWriter& writer, const WriterEntry& entry,
                                 const fs::path& target) const {
    requireSizeFits32(entry.name, entry.size, target);
    return writer.StoredKey(entry, target);
}

ContainerEdit::KeyIndex ContainerEdit::keyIndex(const EntryLayoutWriter& writer) const {
    KeyIndex index;
    index.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        index.emplace(matchKey(keyOf(writer, writerEntry(rows_[i], true), path())), i);
    return index;
}

void ContainerEdit::requireFree(const KeyIndex& index, const std::string& key, std::size_t except) const {
    const auto [first, last] = index.equal_range(key);
    for (auto it = first; it != last; ++it) {
        if (it->second == except) continue;
        const auto& other = nameOf(rows_[it->second]);
        const auto writer = writerFor(kind_);
        const auto stored = writer->StoredName(writerEntry(rows_[it->second], true), path());
        throw Error("it would be stored as '" + stored + "', as the entry '" + other + "' is (" +
                    std::string(kindName(kind_)) + " files store " + writer->NameLimit() +
                    (ignoreCase_ ? ", letter case aside" : "") + "); rename or remove '" + other +
                    "' first, or give this one another name");
    }
}

void ContainerEdit::requireWhole(const EntryLayoutWriter& writer, const WriterEntry& entry,
                                 const std::string& what) const {
    if (const auto cut = cutName(writer, entry, path()))
        throw NameDoesNotFit(what + ": " + std::string(kindName(kind_)) + " files store " +
                             writer.NameLimit() + ", and it would be stored as '" + cut->stored + "'");
}

ContainerEdit::AddedFile ContainerEdit::lookAtSource(const fs::path& file, const std::string& name,
                                                     bool replacing) const {
    const InputFile source(file); // refuses what is missing or not a regular file, naming it
    if (sameFile(source.identity(), fileOf(*reader_).identity()))
        throw Error("Cannot add " + displayPath(file) + ": it is the container being edited");
    if (source.size() > 0x7FFFFFFFull)
        throw Error("Cannot add " + displayPath(file) + ": it is " + std::to_string(source.size()) +
                    " bytes; " + std::string(kindName(kind_)) + " files hold entries under 2 GiB");
    AddedFile added{file, source.size(), creationTimeHigh32(file), nullptr, std::nullopt};
    const auto textures = texturesOf(kind_);
    if (!textures) return added;
    if (!isImportablePicture(pathText(file.filename()))) {
        // Lump bytes of its own (a palette, a picture made elsewhere) may replace a lump, keeping its type.
        if (replacing) return added;
        throw Error("Cannot add " + displayPath(file) + ": only PNG and BMP pictures are added to " +
                    std::string(kindName(kind_)) + " files (each becomes a mip texture)");
    }
    try {
        const auto stored = storedNameWithin(name, wad::kMaxNameLength, path());
        auto made = textureLumpFromPicture(*textures, file, stored, *import_);
        added.size = made.size();
        added.made = std::make_shared<const std::vector<std::uint8_t>>(std::move(made));
    } catch (const FileError& e) {
        throw Error("Cannot add " + displayPath(file) + " as '" + name + "': " + e.reason());
    }
    added.code = wad::lumpFields(*textures == TextureKind::Wad2 ? wad::kQuakeMipTexture : wad::kMipTexture, 0,
                                 static_cast<std::uint32_t>(added.size))
                     .code;
    return added;
}

std::size_t ContainerEdit::addChecked(const EntryLayoutWriter& writer, KeyIndex& index, const fs::path& file,
                                      const std::string& name, std::optional<std::size_t> position,
                                      bool nameGiven) {
    const auto normal = normalName(name, HasFolders(kind_), path());
    const auto existing = find(normal);
    auto added = lookAtSource(file, normal, existing.has_value());
    if (!existing && position && *position > rows_.size())
        throw Error("Cannot add " + displayPath(file) + ": row " + std::to_string(*position) +
                    " is past the end of the list (" + std::to_string(rows_.size()) + " rows)");
    Row r;
    if (existing)
        r = rows_[*existing];
    else
        r.name = normal;
    r.file = files_->size();
    const auto previous = files_;
    auto files = std::make_shared<std::vector<AddedFile>>(*files_);
    files->push_back(std::move(added));
    files_ = std::move(files);
    // The writer's checks name the container, as the file they refuse to create: their reason is said.
    const auto refused = [&](const std::string& why) {
        files_ = previous;
        return Error("Cannot add " + displayPath(file) + " as '" + normal + "': " + why);
    };
    std::string key;
    try {
        const auto entry = writerEntry(r, true);
        key = matchKey(keyOf(writer, entry, path()));
        if (nameGiven)
            requireWhole(writer, entry, "Cannot add " + displayPath(file) + " as '" + normal + "'");
        requireFree(index, key, existing.value_or(kNone));
    } catch (const NameDoesNotFit&) {
        files_ = previous;
        throw;
    } catch (const FileError& e) {
        throw refused(e.reason());
    } catch (const Error& e) {
        throw refused(e.what());
    }
    modified_ = true;
    const auto at = position.value_or(rows_.size());
    record({Step::Kind::Add, normal, !existing && at < rows_.size() ? nameOf(rows_[at]) : std::string(), file,
            nameGiven});
    if (existing) {
        rows_[*existing] = std::move(r);
        return *existing;
    }
    // Rows after the insertion point move down one: their keys in the index follow.
    if (at < rows_.size())
        for (auto& [k, row] : index)
            if (row >= at) ++row;
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(r));
    index.emplace(std::move(key), at);
    return at;
}

std::size_t ContainerEdit::add(const fs::path& file, std::string name, std::optional<std::size_t> position) {
    if (name.empty()) {
        // A texture is looked up by its name alone: a picture's extension is not part of it.
        name = pathText(texturesOf(kind_) ? file.stem() : file.filename());
        // As gathering a folder refuses it: the entry would come back out as a folder and a file.
        if (name.find('\\') != std::string::npos)
            throw NameDoesNotFit("Cannot add " + displayPath(file) +
                                 ": its name holds a \\, which a container stores as a folder separator");
    }
    const auto writer = writerFor(kind_);
    auto index = keyIndex(*writer);
    return addChecked(*writer, index, file, name, position, true);
}

std::size_t ContainerEdit::addTree(const fs::path& folder, const std::string& underName,
                                   std::vector<fs::path>* skipped) {
    if (!HasFolders(kind_))
        throw Error("Cannot add the folder " + displayPath(folder) + ": " + std::string(kindName(kind_)) +
                    " files hold no folders; add its files one by one");
    std::vector<fs::path> left;
    const auto files = GatherFolderTree(folder, left);
    const auto writer = writerFor(kind_);
    auto index = keyIndex(*writer);
    auto copy = *this; // a file refused half-way leaves this edit as it was
    for (const auto& f : files)
        copy.addChecked(*writer, index, sourcePath(folder, f),
                        underName.empty() ? f.name : JoinPath(underName, f.name), std::nullopt, false);
    *this = std::move(copy);
    if (skipped) skipped->insert(skipped->end(), left.begin(), left.end());
    return files.size();
}

void ContainerEdit::replace(std::size_t row, const fs::path& file) {
    auto& r = rows_.at(row);
    auto added = lookAtSource(file, nameOf(r), true);
    // The name stays, but a VP's empty file or a size limit depends on the new bytes.
    const auto writer = writerFor(kind_);
    Row changed = r;
    changed.file = files_->size();
    auto files = std::make_shared<std::vector<AddedFile>>(*files_);
    files->push_back(std::move(added));
    const auto previous = files_;
    files_ = std::move(files);
    try {
        keyOf(*writer, writerEntry(changed, true), path());
    } catch (const FileError& e) {
        files_ = previous;
        throw Error("Cannot replace '" + nameOf(r) + "' with " + displayPath(file) + ": " + e.reason());
    }
    record({Step::Kind::Replace, nameOf(r), {}, file});
    r = std::move(changed);
    modified_ = true;
}

void ContainerEdit::rename(std::size_t row, const std::string& newName) {
    auto& r = rows_.at(row);
    const auto normal = normalName(newName, HasFolders(kind_), path());
    const auto& old = nameOf(r);
    if (normal == old) return;
    Row changed = r;
    changed.name = r.entry != kNone && normal == reader_->EntryName(r.entry) ? std::string() : normal;
    // A kept type code belongs to the entry's own extension; another extension decides the type anew.
    const auto writer = writerFor(kind_);
    if (r.entry != kNone && writer->TypeFromExtension())
        changed.newType = !equalsNoCase(extensionOf(normal), extensionOf(reader_->EntryName(r.entry)));
    const auto what = "Cannot rename '" + old + "' to '" + normal + "'";
    std::string key;
    try {
        const auto entry = writerEntry(changed, true);
        key = matchKey(keyOf(*writer, entry, path()));
        requireWhole(*writer, entry, what);
    } catch (const FileError& e) {
        throw Error(what + ": " + e.reason());
    }
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (i != row && sameName(nameOf(rows_[i]), normal))
            throw Error(what + ": the entry '" + nameOf(rows_[i]) + "' is there" +
                        (nameOf(rows_[i]) == normal
                             ? std::string()
                             : ", and " + std::string(kindName(kind_)) + " names ignore letter case") +
                        "; rename or remove it first, or choose another name");
    try {
        requireFree(keyIndex(*writer), key, row);
    } catch (const Error& e) {
        throw Error(what + ": " + e.what());
    }
    record({Step::Kind::Rename, old, normal, {}});
    r = std::move(changed);
    modified_ = true;
}

void ContainerEdit::remove(std::vector<std::size_t> rows) {
    std::sort(rows.begin(), rows.end());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] >= rows_.size())
            throw Error("Cannot remove row " + std::to_string(rows[i]) + ": the list has " +
                        std::to_string(rows_.size()) + " rows");
        if (i > 0 && rows[i] == rows[i - 1])
            throw Error("Cannot remove row " + std::to_string(rows[i]) + " twice");
    }
    if (rows.empty()) return;
    for (const auto row : rows)
        record({Step::Kind::Remove, nameOf(rows_[row]), {}, {}});
    std::vector<Row> kept;
    kept.reserve(rows_.size() - rows.size());
    auto next = rows.begin();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (next != rows.end() && *next == i) {
            ++next;
            continue;
        }
        kept.push_back(std::move(rows_[i]));
    }
    rows_ = std::move(kept);
    modified_ = true;
}

bool ContainerEdit::changedOnDisk() const {
    const auto now = platform::lookAtPath(path());
    const auto& then = fileOf(*reader_).identity();
    return now.kind != platform::NodeKind::RegularFile || !sameFile(now, then) || now.size != then.size ||
           now.modified != then.modified;
}

std::vector<CutName> ContainerEdit::cutNames(ContainerType kind) const {
    const auto writer = writerFor(kind);
    std::vector<CutName> cut;
    for (const auto& r : rows_) {
        try {
            if (auto c = cutName(*writer, writerEntry(r, kind == kind_), path()))
                cut.push_back(std::move(*c));
        } catch (const Error&) {
            // A name the kind cannot store at all is refused by the write itself, naming its target.
        }
    }
    return cut;
}

void ContainerEdit::record(Step step) {
    auto steps = std::make_shared<std::vector<Step>>(*steps_);
    steps->push_back(std::move(step));
    steps_ = std::move(steps);
}

namespace {

// Whether two readings of a container list the same entries at the same places, with the same fields.
bool sameListing(const ContainerReader& a, const ContainerReader& b) {
    if (a.EntryCount() != b.EntryCount()) return false;
    for (std::size_t i = 0; i < a.EntryCount(); ++i) {
        const auto &x = a.Rows()[i], &y = b.Rows()[i];
        const auto fx = a.EntryStoredFields(i), fy = b.EntryStoredFields(i);
        if (x.name != y.name || x.size != y.size || x.offset != y.offset || x.damaged != y.damaged ||
            fx.time != fy.time || fx.flags != fy.flags || fx.code != fy.code)
            return false;
    }
    return true;
}

ContainerChangedOnDisk changedSinceOpened(const fs::path& path, const std::string& why) {
    return ContainerChangedOnDisk(FileAction::Save, path,
                                  "another program changed it since it was opened, and " + why +
                                      "; save the edits under another name");
}

} // namespace

std::size_t ContainerEdit::rowNamedOnDisk(const std::string& name) const {
    const auto row = find(name);
    if (!row)
        throw changedSinceOpened(path(), "'" + name + "', which these edits change, is no longer in it");
    return *row;
}

void ContainerEdit::requireKeptBytesInPlace(const fs::path& newPath) const {
    // Entries are copied from where they were when the file was read. A file another program moved
    // onto the path leaves the open one as it was; one rewritten where it lies (a save in place, ours
    // undone too) may hold other bytes there now, unless its directory still lists them there.
    platform::NodeInfo now;
    const auto& then = fileOf(*reader_).identity();
    if (platform::lookAtOpen(fileOf(*reader_).handle(), now) == 0 && now.size == then.size &&
        now.modified == then.modified)
        return;
    const auto refuse = [&] {
        return ContainerChangedOnDisk(
            FileAction::Create, newPath,
            "another program rewrote " + displayPath(path()) +
                " since it was opened, so its entries can no longer be copied; open it "
                "again and make the edits anew");
    };
    auto fresh = CreateContainerObject(kind_);
    try {
        fresh->ReadDirectory(openFileBytes(path()));
    } catch (const Error&) {
        throw refuse();
    }
    if (!sameFile(fileOf(*fresh).identity(), then)) return; // moved away: the open file is as it was
    std::set<std::tuple<std::string_view, std::uint64_t, std::uint64_t>> listed;
    for (const auto& row : fresh->Rows())
        listed.emplace(row.name, row.offset.value_or(0), row.size.value_or(0));
    for (const auto& r : rows_) {
        if (r.entry == kNone || r.file != kNone) continue;
        const auto& row = reader_->Rows()[r.entry];
        if (!listed.count({row.name, row.offset.value_or(0), row.size.value_or(0)})) throw refuse();
    }
}

ContainerEdit ContainerEdit::madeAgainOn(std::shared_ptr<const ContainerReader> reader) const {
    ContainerEdit again(std::move(reader), kind_);
    again.import_ = import_;
    try {
        for (const auto& step : *steps_) {
            switch (step.kind) {
            case Step::Kind::Add: {
                std::optional<std::size_t> before;
                if (!step.other.empty()) before = again.find(step.other);
                const auto writer = writerFor(kind_);
                auto index = again.keyIndex(*writer);
                again.addChecked(*writer, index, step.file, step.name, before, step.nameGiven);
                break;
            }
            case Step::Kind::Replace:
                again.replace(again.rowNamedOnDisk(step.name), step.file);
                break;
            case Step::Kind::Rename:
                again.rename(again.rowNamedOnDisk(step.name), step.other);
                break;
            case Step::Kind::Remove:
                again.remove({again.rowNamedOnDisk(step.name)});
                break;
            }
        }
    } catch (const ContainerChangedOnDisk&) {
        throw;
    } catch (const Error& e) {
        throw changedSinceOpened(path(), std::string("these edits no longer fit it: ") + e.what());
    }
    return again;
}

void ContainerEdit::writeTo(const fs::path& newPath, ContainerType kind, const WriterLock* lock, bool inPlace,
                            ProgressSink* progress) const {
    const auto writer = writerFor(kind);
    const bool sameKind = kind == kind_;
    const bool folders = HasFolders(kind);
    std::vector<WriterEntry> entries;
    std::vector<EntrySource> sources;
    std::vector<std::string> keys;
    entries.reserve(rows_.size());
    sources.reserve(rows_.size());
    keys.reserve(rows_.size());
    const auto& archiveRows = reader_->Rows();
    for (const auto& r : rows_) {
        entries.push_back(writerEntry(r, sameKind));
        const auto& entry = entries.back();
        if (!folders && entry.name.find('\\') != std::string::npos)
            throw FileError(FileAction::Create, newPath,
                            "'" + entry.name + "' lies in a folder; " + std::string(kindName(kind)) +
                                " files hold no folders");
        if (r.file != kNone) {
            const auto& file = (*files_)[r.file];
            if (file.made)
                sources.push_back(std::make_shared<const MemoryBytes>(*file.made, file.path));
            else
                sources.push_back(std::make_shared<const FileToCopy>(file.path, entry.size, newPath));
        } else {
            if (const auto damage = reader_->EntryDamage(r.entry); !damage.empty())
                throw FileError(FileAction::Create, newPath,
                                "entry '" + entry.name + "' of " + displayPath(path()) + " is damaged (" +
                                    damage + "); remove or replace it");
            sources.push_back(reader_->entrySource(r.entry));
        }
    }
    if (!sameKind && texturesOf(kind) && texturesOf(kind_))
        convertTextureLumps(kind, entries, sources, newPath);
    for (const auto& entry : entries)
        keys.push_back(ignoresCase(kind) ? toUpperAscii(keyOf(*writer, entry, newPath))
                                         : keyOf(*writer, entry, newPath));
    // Two kept entries of one name were so in the container already: they stay as they were.
    requireDistinctStoredNames(entries, keys, newPath, [&](std::size_t earlier, std::size_t later) {
        const auto& a = rows_[earlier];
        const auto& b = rows_[later];
        return sameKind && a.entry != kNone && b.entry != kNone && a.name.empty() && b.name.empty();
    });
    const auto layout = writer->Layout(entries, newPath);
    if (inPlace && lock) {
        // Only the end changes when entries are added at the end or renamed: that end is rewritten
        // in place of copying the whole file.
        std::uint64_t entriesEnd = 0;
        for (const auto& row : archiveRows)
            if (row.offset) entriesEnd = std::max(entriesEnd, *row.offset + row.size.value_or(0));
        if (const auto field = writer->DirectoryOffsetField();
            field &&
            updateContainerFile(*lock, fileOf(*reader_), entriesEnd, *field, sources, layout, progress))
            return;
    }
    writeContainerFile(newPath, sources, layout, progress, lock);
}

void ContainerEdit::convertTextureLumps(ContainerType kind, std::vector<WriterEntry>& entries,
                                        std::vector<EntrySource>& sources, const fs::path& newPath) const {
    // A lump larger than this is no picture a game draws: it is kept as it is.
    constexpr std::uint64_t kLargestConverted = 64ull << 20;
    const auto to = *texturesOf(kind);
    const auto quake = loadGamePalette(Game::Quake1Bsp, import_->palettes);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& r = rows_[i];
        auto fields = writerEntry(r, true).stored;
        auto& entry = entries[i];
        entry.stored.code = fields.code;
        entry.stored.flags = fields.flags;
        const auto type = wad::storedLumpType(fields);
        if (!type || entry.size > kLargestConverted) continue;
        const auto bytes =
            sources[i]->readBlock(0, static_cast<std::size_t>(entry.size), "'" + entry.name + "'");
        std::optional<ConvertedLump> converted;
        try {
            converted = convertTextureLump(to, *type, bytes, quake.table, "'" + entry.name + "'");
        } catch (const FormatError& e) {
            throw FileError(FileAction::Create, newPath, std::string(e.what()) + "; remove it first");
        }
        if (!converted) continue;
        entry.size = converted->bytes.size();
        entry.stored = wad::lumpFields(converted->type, 0, static_cast<std::uint32_t>(entry.size));
        sources[i] = std::make_shared<const MemoryBytes>(std::move(converted->bytes), newPath);
    }
}

void ContainerEdit::reopen(const fs::path& path, ContainerType kind) {
    auto reader = CreateContainerObject(kind);
    reader->ReadDirectory(openFileBytes(path));
    const auto import = import_;
    *this = ContainerEdit(std::shared_ptr<const ContainerReader>(std::move(reader)), kind);
    import_ = import;
}

void ContainerEdit::save(ProgressSink* progress, Writing writing) {
    const auto opened = path();
    const auto saved = throughLinks(opened);
    if (!wholeFile(*reader_))
        throw Error("Cannot save " + displayPath(saved) +
                    ": a container inside another is not saved in place; save it as a file of its own");
    // The lock is on the file that was there when it was taken; if another program moves a new one
    // onto the path before it is read, the lock is taken again, on that one.
    for (int attempt = 0;; ++attempt) {
        const WriterLock lock(saved, patienceOf(progress));
        if (!lock.holdsFile())
            throw ContainerChangedOnDisk(FileAction::Save, saved,
                                         "another program removed it since it was opened; save the "
                                         "edits under another name");
        std::shared_ptr<ContainerReader> fresh = CreateContainerObject(kind_);
        try {
            fresh->ReadDirectory(openFileBytes(saved));
        } catch (const FormatError& e) {
            throw changedSinceOpened(saved, std::string("it no longer reads as ") +
                                                std::string(kindName(kind_)) + ": " + e.what());
        }
        if (!sameFile(fileOf(*fresh).identity(), lock.identity())) {
            if (attempt < 10) continue;
            throw FileBusy(displayPath(saved) + " is being replaced by another program again and again");
        }
        // Where the directory is as it was, the rows stand for the same entries: the edit goes on as it
        // is, over the file as read now. Otherwise it is made again, by names, on what is there now.
        ContainerEdit current = *this;
        if (sameListing(*fresh, *reader_))
            current.reader_ = std::move(fresh);
        else
            current = madeAgainOn(std::move(fresh));
        current.writeTo(saved, kind_, &lock, writing == Writing::InPlaceWherePossible, progress);
        current.reopen(opened, kind_);
        *this = std::move(current);
        return;
    }
}

void ContainerEdit::saveAs(const fs::path& newPath, ContainerType kind, ProgressSink* progress) {
    if (!Editable(kind))
        throw FileError(FileAction::Create, newPath,
                        std::string(kindName(kind)) +
                            " files cannot be written; these kinds can: " + EditableKindNames());
    const auto there = platform::lookAtPath(newPath);
    if (there.kind == platform::NodeKind::RegularFile && sameFile(there, fileOf(*reader_).identity())) {
        if (kind != kind_)
            throw FileError(FileAction::Create, newPath,
                            "it is the open container; convert it to a new file");
        save(progress);
        return;
    }
    requireKeptBytesInPlace(newPath);
    writeTo(newPath, kind, nullptr, false, progress);
    reopen(newPath, kind);
}

} // namespace vexa
