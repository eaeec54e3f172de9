// TThumbnailList: the strip of small pictures, one cell per TThumbnail, each a picture fitted into the cell
// with a caption beneath it.
//
// The strip behaves as a multi-column list box: cells run down a column and continue in the next column
// when the column is full, and the strip scrolls sideways by whole columns. Its rows are placeholders
// that follow the items; between BeginFill and EndFill they lag behind, so a folder scan costs one row
// update, one layout and one repaint in all.
#pragma once

#include "PictureHolder.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

namespace quillmark {

enum TThumbnailSource { tsPicture, tsFile };
enum TThumbnailOrientation { toVertical, toHorizontal };
// The look of the scroll bars on a platform with flat scroll bars; kept and not applied here.
enum TScrollStyle { ssNormal, ssFlat, ssEncarta };

class TThumbnailList;
class TThumbnails;

class TThumbnail {
public:
    TThumbnail(const TThumbnail&) = delete;
    TThumbnail& operator=(const TThumbnail&) = delete;
    ~TThumbnail();

    TPictureHolder& Picture() { return *picture_; }
    const TPictureHolder& Picture() const { return *picture_; }
    // Copies picture into the owned one (AssignPicture).
    void SetPicture(const TPictureHolder* picture);
    TThumbnailSource Source() const { return source_; }
    void SetSource(TThumbnailSource source) { source_ = source; }
    const QString& Filename() const { return filename_; }
    void SetFilename(const QString& filename);
    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    // Copies the picture, Source, Filename, Caption and Tag of another item.
    void Assign(const TThumbnail& source);

private:
    friend class TThumbnails;
    explicit TThumbnail(TThumbnails& collection);

    TThumbnails& collection_;
    std::unique_ptr<TPictureHolder> picture_;
    TThumbnailSource source_ = tsPicture;
    QString filename_;
    QString caption_;
    int tag_ = 0;
};

class TThumbnails {
public:
    // A collection with no list keeps its items without drawing them.
    explicit TThumbnails(TThumbnailList* owner = nullptr);
    TThumbnails(const TThumbnails&) = delete;
    TThumbnails& operator=(const TThumbnails&) = delete;
    ~TThumbnails();

    TThumbnail* AddThumbnail();
    // Creates a new item at a zero-based index, 0 to ThumbnailCount; EListError outside that.
    TThumbnail* InsertThumbnail(int index);
    // The item at a zero-based index; EListError "List index out of bounds (%d)" outside the items.
    TThumbnail* ThumbnailAt(int index) const;
    int ThumbnailCount() const { return static_cast<int>(items_.size()); }
    // Destroys all items, last to first.
    void ClearThumbnails();
    // Destroys one item; EListError outside the items.
    void DeleteThumbnail(int index);
    // Live items as the rows count them.
    int ItemTally() const { return itemTally_; }
    // Replaces the items with copies of another collection's.
    void Assign(const TThumbnails& source);
    TThumbnailList* Owner() const { return owner_; }

private:
    friend class TThumbnail;
    friend class TThumbnailList;
    void Changed();

    TThumbnailList* owner_;
    std::vector<std::unique_ptr<TThumbnail>> items_;
    int itemTally_ = 0;
};

// The contrast ratio of two colours by the WCAG formula: (L1 + 0.05) / (L2 + 0.05) of their relative
// luminances, lighter over darker; from 1 (the same) to 21 (black and white).
double ContrastRatio(const QColor& a, const QColor& b);

// The rectangle, inside a cell, into which a picture of pw x ph is drawn: the cell less a 2-pixel inset and
// the caption's height, the picture fitted into that area (never enlarged) and centred. Empty when the
// area or the picture has no size.
QRect ThumbnailPictureRect(const QRect& cell, int captionHeight, int pw, int ph);

class TThumbnailList : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TThumbnailList(QWidget* parent = nullptr);
    ~TThumbnailList() override;

    bool Buffered() const { return buffered_; }
    void SetBuffered(bool buffered) { buffered_ = buffered; }
    TThumbnailOrientation Orientation() const { return orientation_; }
    void SetOrientation(TThumbnailOrientation orientation);
    TScrollStyle ScrollStyle() const { return scrollStyle_; }
    void SetScrollStyle(TScrollStyle style) { scrollStyle_ = style; }
    QColor ScrollColor() const { return scrollColor_; }
    void SetScrollColor(const QColor& color) { scrollColor_ = color; }
    int ScrollWidth() const { return scrollWidth_; }
    void SetScrollWidth(int width) { scrollWidth_ = width; }
    bool ShowCaption() const { return showCaption_; }
    void SetShowCaption(bool show);
    bool ShowSelection() const { return showSelection_; }
    void SetShowSelection(bool show);
    TThumbnails& Thumbnails() { return *thumbnails_; }
    const TThumbnails& Thumbnails() const { return *thumbnails_; }
    void SetThumbnails(const TThumbnails& thumbnails);
    // Row height (vertical) or column width (horizontal) in pixels.
    int ThumbnailSize() const { return thumbnailSize_; }
    void SetThumbnailSize(int size);
    QString Version() const { return QStringLiteral("1.1.0.2"); }

    // Columns across the visible width; 0 lets one column take the whole width.
    int Columns() const { return columns_; }
    void SetColumns(int columns);
    // Background of the cells and of the strip; an invalid colour (the default) follows the palette's base
    // colour.
    QColor Color() const;
    void SetColor(const QColor& color);
    // What the strip is painted with. The background is Color(), unless the palette's text does not read on
    // it (a light colour set for the strip under a dark desktop theme): then it is the palette's base colour.
    // Captions take the palette's text colour, or black or white where that would not read either.
    QColor BackgroundColor() const;
    QColor CaptionColor() const;

    // The selected row, -1 for none: the current thumbnail, framed in the palette's highlight colour
    // whether or not the list has the focus. Setting it scrolls the row into view and raises no OnClick;
    // an index outside the rows clears the selection.
    int SelectedIndex() const { return selected_; }
    void SetSelectedIndex(int index);

    void BeginFill();
    void EndFill();
    int FillDepth() const { return fillDepth_; }
    // Brings the rows level with the items and lays the strip out again.
    void SyncRows();

    int RowCount() const { return rowCount_; }
    int RowHeight() const { return rowHeight_; }
    int ColumnWidth() const { return columnWidth_; }
    int RowsPerColumn() const;
    // Height of a caption line in the list's font.
    int CaptionHeight() const;
    // A row's cell in viewport coordinates (it may lie outside the visible part).
    QRect CellRect(int row) const;
    // The row whose cell holds a viewport point, -1 for none.
    int RowAt(const QPoint& point) const;
    // Device pixels a thumbnail's picture needs to fill the picture area of a cell.
    QSize PictureDecodeBound() const;

signals:
    // The user changed the selection with the mouse or the keyboard. The arrow keys move one thumbnail;
    // Page Up, Page Down, Home and End are left to the window, which moves the photo and then the
    // selection, so that one key press never moves twice.
    void OnClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class TThumbnails;
    void ApplyThumbnailSize();
    void ApplyColumns(int columns);
    int HorizontalRowHeight() const;
    int ColumnCount() const;
    int VisibleColumns() const;
    void UpdateScrollBars();
    void UpdateDecodeBounds();
    void ScrollIntoView(int row);
    void UserSelect(int row);
    void DrawCell(QPainter& painter, int row, const QRect& cell, bool selected, bool focused);

    std::unique_ptr<TThumbnails> thumbnails_;
    bool buffered_ = true;
    TThumbnailOrientation orientation_ = toVertical;
    TScrollStyle scrollStyle_ = ssNormal;
    QColor scrollColor_{0, 0, 0};
    int scrollWidth_ = 16;
    bool showCaption_ = true;
    bool showSelection_ = false;
    int thumbnailSize_ = 64;
    int columns_ = 0;
    QColor color_; // invalid: the palette's base colour
    int fillDepth_ = 0;
    bool destroying_ = false;
    int rowCount_ = 0;
    int rowHeight_ = 64;
    int columnWidth_ = 1;
    int selected_ = -1;
    int caret_ = 0;
};

} // namespace quillmark
