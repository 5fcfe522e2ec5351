// Pictures of the window for a person to look at: Freedoom's WAD with its Content column, a sprite
// at 2x over the checkerboard with its offset cross, a composed texture, the end screen, and a sound
// and a song playing. Taken only when VEXA_SHOT_DIR names a folder (run under Xvfb for a real window
// system).

#include "WindowFixture.h"
#include "ui/FileListModel.h"
#include "ui/PicturePreview.h"
#include "ui/PreviewPane.h"
#include "ui/SoundPlayer.h"

#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::q;

const fs::path kFreedoom = "/usr/share/games/doom/freedoom2.wad";

class Screenshots : public test::WindowFixture {
  protected:
    QTreeView* LB1() { return control<QTreeView>("LB1"); }
    ui::PreviewPane* pane() { return control<ui::PreviewPane>("PreviewPane"); }
    void filter(const QString& pattern) { control<QLineEdit>("EFilter")->setText(pattern); }
    void previewFirstRow() {
        auto* list = LB1();
        const auto index = list->model()->index(0, 0);
        ASSERT_TRUE(index.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualRect(index).center());
        waitForPreview();
    }
    void shoot(const fs::path& folder, const char* name) {
        QTest::qWait(50);
        const auto path = folder / name;
        ASSERT_TRUE(window->grab().save(q(path), "PNG")) << path;
    }
};

TEST_F(Screenshots, FreedoomInTheWindow) {
    const auto folder = qEnvironmentVariable("VEXA_SHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "VEXA_SHOT_DIR is not set: no screenshots asked for";
    if (!fs::exists(kFreedoom)) GTEST_SKIP() << kFreedoom << " is missing (Debian's freedoom package)";
    const fs::path shots = folder.toStdString();
    start();
    window->resize(1100, 700);
    open(kFreedoom);

    filter("TROO");
    previewFirstRow();
    shoot(shots, "content-column.png");

    filter("content:picture TROOA1");
    previewFirstRow();
    ASSERT_TRUE(pane()->shownContent().has_value()) << pane()->captionText().toStdString();
    EXPECT_TRUE(pane()->captionText().contains("offsets")) << pane()->captionText().toStdString();
    QTest::mouseClick(control<QToolButton>("Zoom2"), Qt::LeftButton);
    shoot(shots, "sprite-2x-offsets.png");

    filter("TEXTURE1");
    previewFirstRow();
    auto* list = control<QListWidget>("PreviewPictures");
    const auto found = list->findItems(QStringLiteral("BIGDOOR2"), Qt::MatchExactly);
    if (!found.isEmpty()) {
        list->scrollToItem(found.front());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(found.front()).center());
        waitForPreview();
    }
    shoot(shots, "texture-composed.png");

    filter("ENDOOM");
    previewFirstRow();
    shoot(shots, "endoom.png");

    // Playing, where the system has a device (the tests' own null sink).
    auto* player = control<ui::SoundPlayer>("PreviewSound");
    const struct {
        const char* entry;
        const char* shot;
        int playedMs; // before the shot, for the progress to show
    } playing[] = {{"DSPISTOL", "preview-sound.png", 300}, {"D_RUNNIN", "preview-music.png", 2500}};
    for (const auto& p : playing) {
        filter(QString::fromLatin1(p.entry));
        previewFirstRow();
        player->setFocus();
        QTest::keyClick(player, Qt::Key_Space);
        QTest::qWait(p.playedMs);
        EXPECT_TRUE(player->playing() || !ui::SoundPlayer::hasOutput()) << player->stateText().toStdString();
        shoot(shots, p.shot);
        player->stop();
    }
}

} // namespace
} // namespace vexa
