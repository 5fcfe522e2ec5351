#pragma once
// Paths and texts between the core (UTF-8 std::string, std::filesystem::path) and Qt (QString).

#include "base/file_io.h"

#include <QFile>
#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace vexa::ui {

inline QString qText(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline QString qView(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline QString qText(const std::filesystem::path& path) {
    return QString::fromStdString(pathText(path));
}
inline std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace vexa::ui
