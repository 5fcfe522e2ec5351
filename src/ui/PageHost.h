#pragma once
// What the Palettes and New_C pages may use of the window they sit on, and nothing more: they
// never see its controls, the live object or each other. The window wires the Files page's
// review buttons to the New_C page; everything else a page asks goes through these calls.

#include "app/Global.h"
#include "app/kinds.h"
#include "formats/container.h"
#include "images/palette_files.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexa::ui {

class JobProgress;
class Prompts;

// The file dialogs' "All Files": on this platform a file needs no dot to be a file, hence "*".
inline const QString kAllFiles = QStringLiteral("All Files (*)");

class PageHost {
  public:
    virtual const ProgramFolders& Folders() const = 0;
    virtual Prompts& prompts() = 0;
    // Runs one command; an error ends it with its message in a box, and the window stays usable.
    virtual void guarded(const std::function<void()>& command) = 0;
    virtual void SzLabText(const QString& text) = 0;

    // The open dialog OD1, shared with Open: its filter (Qt form) and folder stay until changed.
    virtual void SetOpenDialog(const QString& filter, const std::filesystem::path& folder) = 0;
    virtual std::optional<QString> ExecuteOpenDialog() = 0;

    // CurrentPalette (the window's Document keeps it): what pictures are painted with, and the game
    // palette paths.
    virtual const Palette& CurrentPalette() const = 0;
    virtual void SetCurrentPalette(Palette palette) = 0;
    virtual GamePalettePaths& GamePalettes() = 0;

  protected:
    ~PageHost() = default;
};

// The New_C page's review happens on the Files page and ends in a job: these are its calls.
class CreationHost : public PageHost {
  public:
    // The window's share of choosing a kind: no live object, the Files page emptied for a review,
    // labels cleared, commands disabled, CreationMode on. False when the open file's unsaved edits
    // keep it (the user cancelled, or saves them first).
    virtual bool BeginCreation() = 0;
    // The gathered files on the Files page, which becomes active, with OK, Remove and Cancel.
    virtual void ShowReview(std::vector<std::string> names, std::vector<std::uint64_t> sizes) = 0;
    // The review row selected (the list takes one at a time), if any.
    virtual std::optional<std::size_t> ReviewRow() const = 0;
    virtual void FszlabSize(std::uint64_t size) = 0;
    virtual void SetCurrentType(ContainerType type) = 0;
    virtual void ResetWindow() = 0;

    // One job at a time, off the window's thread; done runs on the window's thread after it.
    virtual bool JobRunning() const = 0;
    virtual bool StartJob(std::function<void(JobProgress&)> work,
                          std::function<void(std::exception_ptr)> done) = 0;
    virtual ProgressSink& Progress() = 0;

  protected:
    ~CreationHost() = default;
};

} // namespace vexa::ui
