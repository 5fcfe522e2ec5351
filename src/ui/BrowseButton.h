#pragma once
// The button with a folder icon beside an edit box, whose dialog fills that box.

#include <QPushButton>
#include <QString>
#include <QStyle>

namespace vexa::ui {

inline QPushButton* browseButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(button->style()->standardIcon(QStyle::SP_DirOpenIcon));
    button->setToolTip(QStringLiteral("Browse "));
    button->setAccessibleName(QStringLiteral("Browse"));
    button->setAutoDefault(false);
    return button;
}

} // namespace vexa::ui
