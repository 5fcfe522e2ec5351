#pragma once
// A picture as a modder looks at it: zoomed to fit or at 1x, 2x, 4x (the mouse wheel steps
// between), see-through pixels over a checkerboard, Doom's offsets as a cross at the origin, a
// chooser of the palette it is painted with and, for an entry of many pictures (a texture list, the
// tiles of an ART file), the list of them to pick one from.

#include "ui/ContentRender.h"

#include <QWidget>

#include <optional>

class QButtonGroup;
class QComboBox;
class QListWidget;
class QScrollArea;

namespace vexa::ui {

// The picture itself, at a zoom; 0 fits it to the view.
class PictureCanvas : public QWidget {
  public:
    using QWidget::QWidget;
    void setPicture(QImage image, std::optional<PictureOffset> offset);
    // 0: fit; else pixels of the screen a pixel of the picture takes.
    void setZoom(double zoom);
    double zoom() const { return zoom_; }
    // The scale painted now (the fitting one when zoom() is 0).
    double scale() const;
    const QImage& image() const { return image_; }
    // Where the picture's top-left corner and its origin are painted, in this widget's pixels.
    QPointF pictureCorner() const;
    std::optional<QPointF> originPoint() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // The picture's pixels and the origin's, in picture pixels (the origin may lie outside).
    QRectF extent() const;

    QImage image_;
    std::optional<PictureOffset> offset_;
    double zoom_ = 0;
};

class PicturePreview : public QWidget {
    Q_OBJECT
  public:
    explicit PicturePreview(QWidget* parent = nullptr);

    // Shows rendering; names keeps the list of pictures shown when it is empty and keepList says so
    // (a picture chosen from it).
    void showRendering(const ContentRendering& rendering, bool keepList);
    // A picture with no choice of palette or list (a texture kind's picture, a palette grid).
    void showImage(QImage image);
    void clear();

    PictureCanvas& canvas() { return *canvas_; }
    const PaletteChoice& paletteChoice() const { return choice_; }
    void setPaletteChoice(const PaletteChoice& choice);
    // The zooms of the buttons: 0 (fit), 1, 2, 4.
    void setZoom(double zoom);

  signals:
    void paletteChosen();
    void pictureChosen(const QString& name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fillPaletteChooser(bool containerHasOne);
    void showZoomButtons();

    QComboBox* palettes_;
    QButtonGroup* zooms_;
    QListWidget* pictures_;
    QScrollArea* scroll_;
    PictureCanvas* canvas_;
    PaletteChoice choice_;
    bool filling_ = false;
};

} // namespace vexa::ui
