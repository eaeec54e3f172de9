#include "ThumbnailList.h"

#include "ControlErrors.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace quillmark {

namespace {

// The inset between a cell's edge and its caption and picture.
constexpr int kCellInset = 2;

QRect InsetCell(const QRect& cell) {
    return RectLTRB(cell.left() + kCellInset, cell.top() + kCellInset,
                    cell.left() + cell.width() - kCellInset, cell.top() + cell.height() - kCellInset);
}

// The part of a cell left for the picture once the inset and the caption line are taken away.
QRect PictureArea(const QRect& cell, int captionHeight) {
    const QRect inset = InsetCell(cell);
    return RectLTRB(inset.left(), inset.top(), inset.left() + inset.width(),
                    inset.top() + inset.height() - captionHeight);
}

QSize DeviceSize(QSize size, qreal ratio) {
    return QSize(qCeil(std::max(1, size.width()) * ratio), qCeil(std::max(1, size.height()) * ratio));
}

// Text must reach this contrast with its background to read well (WCAG level AA for normal text).
constexpr double kReadableContrast = 4.5;

// The width of the frame that marks the current thumbnail.
constexpr int kMarkWidth = 2;

double RelativeLuminance(const QColor& color) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRect ThumbnailPictureRect(const QRect& cell, int captionHeight, int pw, int ph) {
    const QRect area = PictureArea(cell, captionHeight);
    const int aw = area.width();
    const int ah = area.height();
    if (aw <= 0 || ah <= 0 || pw <= 0 || ph <= 0) return {};
    const QSize size = FitWithin(pw, ph, aw, ah);
    if (size.isEmpty()) return {};
    return QRect(area.left() + (aw - size.width()) / 2, area.top() + (ah - size.height()) / 2, size.width(),
                 size.height());
}

// ---- TThumbnail

TThumbnail::TThumbnail(TThumbnails& collection)
    : collection_(collection),
      picture_(std::make_unique<TPictureHolder>(TPictureHolder::Variant::Thumbnail)) {
    picture_->OnPictureChange = [this](TPictureHolder&) { collection_.Changed(); };
}

TThumbnail::~TThumbnail() {
    picture_->OnPictureChange = nullptr;
}

void TThumbnail::SetPicture(const TPictureHolder* picture) {
    picture_->AssignPicture(picture);
    collection_.Changed();
}

void TThumbnail::SetFilename(const QString& filename) {
    filename_ = filename;
    collection_.Changed();
}

void TThumbnail::SetCaption(const QString& caption) {
    caption_ = caption;
    collection_.Changed();
}

void TThumbnail::Assign(const TThumbnail& source) {
    if (&source == this) return;
    picture_->AssignPicture(&source.Picture());
    source_ = source.source_;
    filename_ = source.filename_;
    caption_ = source.caption_;
    tag_ = source.tag_;
    collection_.Changed();
}

// ---- TThumbnails

TThumbnails::TThumbnails(TThumbnailList* owner) : owner_(owner) {}

TThumbnails::~TThumbnails() {
    // Destruction does not draw: the owner is going away or already gone.
    owner_ = nullptr;
    items_.clear();
}

void TThumbnails::Changed() {
    if (owner_) owner_->SyncRows();
}

TThumbnail* TThumbnails::AddThumbnail() {
    return InsertThumbnail(ThumbnailCount());
}

TThumbnail* TThumbnails::InsertThumbnail(int index) {
    if (index < 0 || index > ThumbnailCount()) throw EListError(index);
    const auto at = items_.insert(items_.begin() + index, std::unique_ptr<TThumbnail>(new TThumbnail(*this)));
    TThumbnail* item = at->get();
    if (owner_) item->Picture().SetDecodeBound(owner_->PictureDecodeBound());
    ++itemTally_;
    Changed();
    return item;
}

TThumbnail* TThumbnails::ThumbnailAt(int index) const {
    if (index < 0 || index >= ThumbnailCount()) throw EListError(index);
    return items_[static_cast<size_t>(index)].get();
}

void TThumbnails::DeleteThumbnail(int index) {
    if (index < 0 || index >= ThumbnailCount()) throw EListError(index);
    itemTally_ = std::max(0, itemTally_ - 1);
    Changed();
    items_.erase(items_.begin() + index);
}

void TThumbnails::ClearThumbnails() {
    while (!items_.empty())
        DeleteThumbnail(ThumbnailCount() - 1);
}

void TThumbnails::Assign(const TThumbnails& source) {
    if (&source == this) return;
    if (owner_) owner_->BeginFill();
    try {
        ClearThumbnails();
        for (const auto& item : source.items_)
            AddThumbnail()->Assign(*item);
    } catch (...) {
        if (owner_) owner_->EndFill();
        throw;
    }
    if (owner_) owner_->EndFill();
}

// ---- TThumbnailList

TThumbnailList::TThumbnailList(QWidget* parent)
    : QAbstractScrollArea(parent), thumbnails_(std::make_unique<TThumbnails>(this)) {
    setFocusPolicy(Qt::StrongFocus);
    // A multi-column list scrolls sideways only.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(1);
    ApplyThumbnailSize();
    ApplyColumns(columns_);
}

TThumbnailList::~TThumbnailList() {
    destroying_ = true;
    thumbnails_.reset();
}

int TThumbnailList::CaptionHeight() const {
    return QFontMetrics(font()).height();
}

void TThumbnailList::SetOrientation(TThumbnailOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    ApplyThumbnailSize();
    UpdateScrollBars();
    UpdateDecodeBounds();
    viewport()->update();
}

void TThumbnailList::SetShowCaption(bool show) {
    if (show == showCaption_) return;
    showCaption_ = show;
    UpdateDecodeBounds();
    viewport()->update();
}

void TThumbnailList::SetShowSelection(bool show) {
    if (show == showSelection_) return;
    showSelection_ = show;
    viewport()->update();
}

void TThumbnailList::SetThumbnails(const TThumbnails& thumbnails) {
    thumbnails_->Assign(thumbnails);
}

void TThumbnailList::SetThumbnailSize(int size) {
    thumbnailSize_ = size;
    ApplyThumbnailSize();
    UpdateScrollBars();
    UpdateDecodeBounds();
    viewport()->update();
}

void TThumbnailList::SetColumns(int columns) {
    columns = std::max(0, columns);
    if (columns == columns_) return;
    ApplyColumns(columns);
    UpdateScrollBars();
    UpdateDecodeBounds();
    viewport()->update();
}

void TThumbnailList::SetColor(const QColor& color) {
    color_ = color;
    viewport()->update();
}

QColor TThumbnailList::Color() const {
    return color_.isValid() ? color_ : palette().color(QPalette::Base);
}

QColor TThumbnailList::BackgroundColor() const {
    const QColor set = Color();
    if (ContrastRatio(set, palette().color(QPalette::Text)) >= kReadableContrast) return set;
    return palette().color(QPalette::Base);
}

QColor TThumbnailList::CaptionColor() const {
    const QColor background = BackgroundColor();
    const QColor text = palette().color(QPalette::Text);
    if (ContrastRatio(text, background) >= kReadableContrast) return text;
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

int TThumbnailList::HorizontalRowHeight() const {
    const int scrollBarHeight =
        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, horizontalScrollBar());
    // The height of the list less its sideways scroll bar and its frame: one row fills the strip.
    return height() - scrollBarHeight - 2 * frameWidth();
}

void TThumbnailList::ApplyColumns(int columns) {
    columns_ = columns;
    // Columns share the visible width; without columns one column takes the whole width.
    const int clientWidth = viewport()->width();
    if (columns_ > 0)
        columnWidth_ = std::max(1, clientWidth / columns_);
    else if (orientation_ == toVertical)
        columnWidth_ = std::max(1, clientWidth);
}

void TThumbnailList::ApplyThumbnailSize() {
    const int s = std::max(1, thumbnailSize_);
    if (orientation_ == toVertical) {
        rowHeight_ = s;
        if (columns_ > 0) columnWidth_ = s;
        return;
    }
    rowHeight_ = std::max(1, HorizontalRowHeight());
    ApplyColumns(thumbnails_->ThumbnailCount());
    columnWidth_ = s;
}

void TThumbnailList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const int s = std::max(1, thumbnailSize_);
    if (orientation_ == toVertical && columns_ > 0) {
        const int columns = width() / s;
        if (columns > 0 && columns != columns_) columns_ = columns;
    }
    ApplyColumns(columns_);
    if (orientation_ == toHorizontal) {
        columnWidth_ = s;
        const int rowHeight = HorizontalRowHeight();
        if (rowHeight > 0) rowHeight_ = rowHeight;
    }
    UpdateScrollBars();
    // The current thumbnail stays in sight when the strip changes its shape.
    if (selected_ >= 0) ScrollIntoView(selected_);
    UpdateDecodeBounds();
    viewport()->update();
}

void TThumbnailList::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateDecodeBounds();
        viewport()->update();
    }
}

void TThumbnailList::BeginFill() {
    ++fillDepth_;
}

void TThumbnailList::EndFill() {
    if (fillDepth_ <= 0) return;
    --fillDepth_;
    if (fillDepth_ == 0) SyncRows();
}

void TThumbnailList::SyncRows() {
    if (destroying_ || fillDepth_ > 0) return;
    ++fillDepth_;
    const int tally = thumbnails_->ItemTally();
    if (rowCount_ != tally) {
        rowCount_ = tally;
        // Rows go from the end: a selection on a removed row is gone.
        if (selected_ >= rowCount_) selected_ = -1;
        caret_ = std::clamp(caret_, 0, std::max(0, rowCount_ - 1));
    }
    if (orientation_ == toHorizontal) ApplyColumns(thumbnails_->ThumbnailCount());
    ApplyThumbnailSize();
    UpdateScrollBars();
    UpdateDecodeBounds();
    --fillDepth_;
    viewport()->update();
}

int TThumbnailList::RowsPerColumn() const {
    return std::max(1, viewport()->height() / std::max(1, rowHeight_));
}

int TThumbnailList::ColumnCount() const {
    const int perColumn = RowsPerColumn();
    return (rowCount_ + perColumn - 1) / perColumn;
}

int TThumbnailList::VisibleColumns() const {
    return std::max(1, viewport()->width() / std::max(1, columnWidth_));
}

void TThumbnailList::UpdateScrollBars() {
    QScrollBar* bar = horizontalScrollBar();
    const int visible = VisibleColumns();
    bar->setPageStep(visible);
    bar->setRange(0, std::max(0, ColumnCount() - visible));
}

QRect TThumbnailList::CellRect(int row) const {
    const int perColumn = RowsPerColumn();
    const int column = row / perColumn - horizontalScrollBar()->value();
    return QRect(column * columnWidth_, (row % perColumn) * rowHeight_, columnWidth_, rowHeight_);
}

int TThumbnailList::RowAt(const QPoint& point) const {
    if (point.x() < 0 || point.y() < 0) return -1;
    const int perColumn = RowsPerColumn();
    const int rowInColumn = point.y() / std::max(1, rowHeight_);
    if (rowInColumn >= perColumn) return -1;
    const qint64 row =
        (qint64(horizontalScrollBar()->value()) + point.x() / std::max(1, columnWidth_)) * perColumn +
        rowInColumn;
    return row < rowCount_ ? static_cast<int>(row) : -1;
}

QSize TThumbnailList::PictureDecodeBound() const {
    const QRect area = PictureArea(QRect(0, 0, columnWidth_, rowHeight_), showCaption_ ? CaptionHeight() : 0);
    return DeviceSize(area.size(), devicePixelRatio());
}

void TThumbnailList::UpdateDecodeBounds() {
    const QSize bound = PictureDecodeBound();
    for (const auto& item : thumbnails_->items_)
        item->Picture().SetDecodeBound(bound);
}

void TThumbnailList::SetSelectedIndex(int index) {
    selected_ = (index >= 0 && index < rowCount_) ? index : -1;
    if (selected_ >= 0) {
        caret_ = selected_;
        ScrollIntoView(selected_);
    }
    viewport()->update();
}

void TThumbnailList::ScrollIntoView(int row) {
    QScrollBar* bar = horizontalScrollBar();
    const int column = row / RowsPerColumn();
    const int visible = VisibleColumns();
    if (column < bar->value())
        bar->setValue(column);
    else if (column >= bar->value() + visible)
        bar->setValue(column - visible + 1);
}

void TThumbnailList::UserSelect(int row) {
    selected_ = row;
    caret_ = row;
    ScrollIntoView(row);
    viewport()->update();
    emit OnClick();
}

void TThumbnailList::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int row = RowAt(event->position().toPoint());
    if (row >= 0) UserSelect(row);
}

void TThumbnailList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QAbstractScrollArea::mouseReleaseEvent(event);
}

void TThumbnailList::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_PageDown || key == Qt::Key_PageUp || key == Qt::Key_Home || key == Qt::Key_End) {
        // The window's navigation keys: moving here as well would move a second time.
        event->ignore();
        return;
    }
    const bool forward = key == Qt::Key_Down || key == Qt::Key_Right;
    const bool back = key == Qt::Key_Up || key == Qt::Key_Left;
    if (rowCount_ == 0 || !(forward || back)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    // One thumbnail per arrow key, whichever way the cells run.
    const int from = selected_;
    const int to = std::clamp(forward ? (from < 0 ? 0 : from + 1) : from - 1, 0, rowCount_ - 1);
    if (to != from) UserSelect(to);
    event->accept();
}

void TThumbnailList::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const int amount = delta.y() != 0 ? delta.y() : delta.x();
    if (amount == 0) return;
    // The wheel moves the strip by whole columns, as its scroll bar does.
    const int steps = std::max(1, std::abs(amount) / 120);
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() + (amount < 0 ? steps : -steps));
    event->accept();
}

void TThumbnailList::scrollContentsBy(int, int) {
    viewport()->update();
}

void TThumbnailList::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TThumbnailList::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void TThumbnailList::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), BackgroundColor());
    if (rowCount_ == 0) return;
    painter.setFont(font());
    const int perColumn = RowsPerColumn();
    const int first = horizontalScrollBar()->value();
    const int columns = VisibleColumns() + 1; // a partly visible column at the right edge
    const bool focused = hasFocus();
    for (int column = first; column < first + columns; ++column) {
        for (int r = 0; r < perColumn; ++r) {
            const qint64 row = qint64(column) * perColumn + r;
            if (row >= rowCount_) return;
            const QRect cell = CellRect(static_cast<int>(row));
            if (!cell.intersects(event->rect())) continue;
            DrawCell(painter, static_cast<int>(row), cell, row == selected_, focused && row == caret_);
        }
    }
}

void TThumbnailList::DrawCell(QPainter& painter, int row, const QRect& cell, bool selected, bool focused) {
    const bool highlight = selected && showSelection_;
    const QColor background = highlight ? palette().color(QPalette::Highlight) : BackgroundColor();
    const QColor text = highlight ? palette().color(QPalette::HighlightedText) : CaptionColor();
    painter.fillRect(cell, background);

    if (row >= 0 && row < thumbnails_->ThumbnailCount()) {
        TThumbnail& item = *thumbnails_->ThumbnailAt(row);
        TPictureHolder& picture = item.Picture();
        const int captionHeight = showCaption_ ? CaptionHeight() : 0;
        const QSize bound =
            DeviceSize(PictureArea(cell, captionHeight).size(), painter.device()->devicePixelRatio());
        // A file that failed once is not read again at every repaint.
        if (buffered_ && picture.IsEmpty() && !item.Filename().isEmpty() && item.Source() == tsFile &&
            picture.LoadFailure() == TLoadFailure::None) {
            picture.SetDecodeBound(bound);
            picture.LoadFile(item.Filename());
        }
        if (showCaption_) {
            const QRect inset = InsetCell(cell);
            const QFontMetrics metrics(font());
            painter.setPen(text);
            painter.drawText(inset, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                             metrics.elidedText(item.Caption(), Qt::ElideRight, inset.width()));
        }
        const QRect target =
            ThumbnailPictureRect(cell, captionHeight, picture.DisplayWidth(), picture.DisplayHeight());
        if (!target.isEmpty()) {
            picture.EnsureResolution(bound);
            picture.DrawInto(painter, target);
        } else if (picture.IsEmpty() && !item.Filename().isEmpty() &&
                   picture.LoadFailure() == TLoadFailure::None) {
            // A placeholder where the thumbnail will come: a photo whose thumbnail is still being made.
            const QRect area = PictureArea(cell, captionHeight).adjusted(6, 6, -6, -6);
            if (area.width() > 2 && area.height() > 2) {
                painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(area.adjusted(0, 0, -1, -1));
            }
        }
    }

    if (selected) {
        // The current thumbnail is framed in every style, with or without the focus: the style's focus
        // rectangle alone is not drawn after a mouse click, and not at all by some styles.
        const QColor mark = palette().color(QPalette::Active, QPalette::Highlight);
        const QRect inner = cell.adjusted(kMarkWidth, kMarkWidth, -kMarkWidth, -kMarkWidth);
        painter.fillRect(QRect(cell.left(), cell.top(), cell.width(), kMarkWidth), mark);
        painter.fillRect(QRect(cell.left(), inner.bottom() + 1, cell.width(), kMarkWidth), mark);
        painter.fillRect(QRect(cell.left(), inner.top(), kMarkWidth, inner.height()), mark);
        painter.fillRect(QRect(inner.right() + 1, inner.top(), kMarkWidth, inner.height()), mark);
    }
    if (focused) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = cell;
        option.backgroundColor = background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace quillmark
