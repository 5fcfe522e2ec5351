#pragma once
// The fixture of the texture container tests: the Quake 1 palette points at a known 8-bit
// palette file, the current palette starts black, and damaged files go through one checked path.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "formats/texture_builders.h"
#include "images/image_builders.h"
#include "images/palette_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vexa::test {

class TextureContainers : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(palettes_ / "quake1.pal", quake1Palette());
        games_.set(Game::Quake1Bsp, palettes_ / "quake1.pal");
    }

    static Bytes quake1Palette() { return knownPalette(51); }
    // The current palette as red, green, blue triples, to compare with the palettes the tests build.
    Bytes currentRgb() const {
        Bytes rgb;
        const auto& table = current_.table;
        for (std::size_t i = 0; i < 256; ++i)
            rgb.insert(rgb.end(), {table[4 * i + 2], table[4 * i + 1], table[4 * i]});
        return rgb;
    }

    // Makes the palette file at path the current palette, as a load on the Palettes page does.
    bool loadCurrent(const fs::path& path) {
        auto loaded = LoadPalFile(path);
        if (loaded) current_ = std::move(*loaded);
        return loaded.has_value();
    }

    fs::path input(const std::string& name, const Bytes& bytes) {
        writeFile(in_ / name, bytes);
        return in_ / name;
    }
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out_.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    Bytes output(const std::string& name) const { return readFile(out_ / name); }

    // Opens path through the kind table, as the window and vexa-cli do.
    std::unique_ptr<ContainerReader> open(const fs::path& path) {
        const auto code = detectKind(path);
        loadKindPalette(code, games_, current_);
        auto object = CreateContainerObject(code);
        if (!object) throw std::runtime_error("not detected: " + path.string());
        object->ReadDirectory(openFileBytes(path));
        return object;
    }
    ExtractionResult extractRows(const ContainerReader& object, std::vector<std::size_t> rows) {
        ExtractionOptions options;
        options.games = games_;
        return vexa::extractRows(object, out_.path(), rows, options, current_);
    }
    ExtractionResult extractAll(const ContainerReader& object) {
        std::vector<std::size_t> rows(object.EntryCount());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        return extractRows(object, rows);
    }

    // A damaged file of kind code: opening it, or extracting every entry, ends in a message naming
    // the file and holding mentions (a refused file, or damaged entries named and passed over);
    // nothing is written.
    void expectRefused(ContainerType code, const std::string& fault, const Bytes& bytes,
                       const std::string& mentions) {
        const auto path = input(fault, bytes);
        std::string message;
        try {
            loadKindPalette(code, games_, current_);
            auto object = CreateContainerObject(code);
            object->ReadDirectory(openFileBytes(path));
            message = extractAll(*object).refusalText();
        } catch (const FormatError& e) {
            message = e.what();
        }
        if (message.empty()) {
            ADD_FAILURE() << fault << " was accepted";
        } else {
            EXPECT_NE(message.find(path.string()), std::string::npos) << fault << ": " << message;
            EXPECT_NE(message.find(mentions), std::string::npos) << fault << ": " << message;
        }
        EXPECT_TRUE(outputs().empty()) << fault;
    }

    TempDir palettes_, in_, out_;
    GamePalettePaths games_;
    Palette current_;
};

} // namespace vexa::test
