#pragma once
// Checks every container kind's tests share: damaged fixtures refused, escaping names refused on
// extraction, and the write -> read -> extract round trip.

#include "formats/container.h"
#include "formats/kind.h"
#include "support/fault_cases.h"
#include "support/test_files.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexa::test {

using ReaderFactory = std::function<std::unique_ptr<ContainerReader>()>;

// Each fixture, written to "<fault><extension>", must be refused by a fresh reader with a
// FormatError whose message names the file; nothing may be listed.
void expectAllRefused(const ReaderFactory& make, const std::string& extension,
                      const std::vector<FaultCase>& cases);

// A fixture whose directory is sound but some of whose entries run past the end of the file.
struct DamagedCase {
    std::string fault;
    Bytes bytes;
    std::size_t count;                // entries listed
    std::vector<std::size_t> damaged; // the ones marked damaged
};

// Each fixture is listed whole by a fresh reader; exactly the damaged entries say they are, and
// extracting every entry refuses those alone, naming them, while the others are written.
void expectDamagedEntriesPassedOver(const ReaderFactory& make, const std::string& extension,
                                    const std::vector<DamagedCase>& cases);

// Opens container (a fixture listing rows: two names that leave the target, then
// a plain name) and extracts every row: the first two are refused, the third is written, and nothing
// lands outside the target.
void expectEscapingNamesRefused(const fs::path& container,
                                const std::vector<std::string>& rows = {"..\\x", "/abs", "good.txt"});

// A source folder with files at several levels, sizes 0 and up; returns its root.
void makeSourceTree(const fs::path& root);
// A source folder with plain files only.
void makeSourceFiles(const fs::path& root);

// Opens container through detection (it must be of kind code), checks its rows are expected,
// extracts all of them and compares each with source folder + the row.
void expectReadsBackAs(const fs::path& container, ContainerType code,
                       const std::vector<std::string>& expected, const fs::path& source);

} // namespace vexa::test
