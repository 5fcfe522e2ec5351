#include "ui/Breadcrumb.h"

#include "base/text.h"
#include "ui/QtText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <memory>

namespace vexa::ui {

namespace {

const QString kSeparator = QStringLiteral(" \u203a ");

// A level as shown: an entry's own folder levels ("maps\e1m1.bsp") separated as the levels are,
// and control bytes escaped as the rows show them.
QString shownLevel(const std::string& name) {
    QStringList parts;
    std::size_t from = 0;
    for (std::size_t at; (at = name.find_first_of("\\/", from)) != std::string::npos; from = at + 1)
        parts << qText(printableText(name.substr(from, at - from)));
    parts << qText(printableText(name.substr(from)));
    return parts.join(kSeparator);
}

} // namespace

Breadcrumb::Breadcrumb(QWidget* parent) : QWidget(parent), layout_(new QHBoxLayout(this)) {
    setObjectName(QStringLiteral("Breadcrumb"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    setVisible(false);
}

void Breadcrumb::setLevels(const std::vector<std::string>& names) {
    names_ = names;
    while (std::unique_ptr<QLayoutItem> item{layout_->takeAt(0)}) {
        if (auto* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
    }
    for (std::size_t depth = 0; depth < names.size(); ++depth) {
        // Stored names may hold control bytes: shown escaped, as the rows show them.
        const auto name = shownLevel(names[depth]);
        if (depth > 0) layout_->addWidget(new QLabel(kSeparator, this));
        if (depth + 1 == names.size()) {
            auto* here = new QLabel(QStringLiteral("<b>%1</b>").arg(name.toHtmlEscaped()), this);
            here->setObjectName(QStringLiteral("BreadcrumbHere"));
            layout_->addWidget(here);
            continue;
        }
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("BreadcrumbLevel%1").arg(depth));
        button->setText(name);
        button->setAutoRaise(true);
        button->setToolTip(QStringLiteral("Back up to ") + name);
        connect(button, &QToolButton::clicked, this,
                [this, depth] { emit levelChosen(static_cast<int>(depth)); });
        layout_->addWidget(button);
    }
    layout_->addStretch(1);
    setVisible(names.size() > 1);
}

QString Breadcrumb::text() const {
    QStringList parts;
    for (const auto& name : names_)
        parts << shownLevel(name);
    return parts.join(kSeparator);
}

} // namespace vexa::ui
