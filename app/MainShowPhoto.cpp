// Showing a photo: the picture, the three metadata lists, the report, the comment dialog and the title.
#include "MainView.h"

#include "CommentDialog.h"
#include "FileNames.h"
#include "MainViewParts.h"
#include "PhotoReport.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "ReaderSettings.h"
#include "ThumbnailList.h"
#include "Xmp.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolTip>
#include <QtMath>

namespace quillmark {

namespace {

// Draws cells as usual; a cell too narrow for its text shows the whole text in its tooltip.
class TCutTextTips : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (!event || !view || event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        // The text needs its width plus the cell's margins on both sides.
        const int margins = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, view) + 1);
        if (!text.isEmpty() && option.fontMetrics.horizontalAdvance(text) + margins > option.rect.width()) {
            QToolTip::showText(event->globalPos(), text, view, option.rect);
            return true;
        }
        QToolTip::hideText();
        return true;
    }
};

// Gives the value column whatever width the list has past the item column, whenever the list is resized:
// widening the panel widens the values, which are the long texts.
class TValueColumnFill : public QObject {
public:
    explicit TValueColumnFill(QTableWidget* list) : QObject(list), list_(list) {
        list->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            const int rest = list_->viewport()->width() - list_->columnWidth(0);
            if (rest > 0) list_->setColumnWidth(1, rest);
        }
        return false;
    }

private:
    QTableWidget* list_;
};

void ClearRows(QTableWidget* list) {
    list->setRowCount(0);
}

void AppendRows(QTableWidget* list, const std::vector<TReportRow>& rows) {
    if (rows.empty()) return;
    int row = list->rowCount();
    list->setRowCount(row + int(rows.size()));
    for (const TReportRow& r : rows) {
        auto* item = new QTableWidgetItem(ToDisplay(r.Item));
        auto* details = new QTableWidgetItem(ToDisplay(r.Details));
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        details->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        list->setItem(row, 0, item);
        list->setItem(row, 1, details);
        ++row;
    }
}

// A text with any kind of line break, as plain-text lines.
QString PlainLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

QTableWidget* MakeValueList(QWidget* parent, const char* name) {
    auto* list = new QTableWidget(0, 2, parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setHorizontalHeaderLabels({TForm1::tr("Item"), TForm1::tr("Details")});
    list->setColumnWidth(0, 150);
    list->setColumnWidth(1, 141);
    list->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    list->horizontalHeader()->setStretchLastSection(false);
    list->verticalHeader()->setVisible(false);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setWordWrap(false);
    list->setItemDelegate(new TCutTextTips(list));
    new TValueColumnFill(list);
    return list;
}

void TForm1::AddReportLine(const QString& text) {
    Memo1->appendPlainText(PlainLines(text));
}

void TForm1::ClearShownPhoto() {
    pendingIndex_ = -1;
    ClearPicture();
    ClearRows(ValueListEditor1);
    ClearRows(ValueListEditor2);
    ClearRows(ValueListEditor3);
    Memo1->clear();
    Label1->setText(tr("Folder:"));
    Label1->setToolTip(QString());
    Label2->setText(tr("Filename:"));
    Label2->setToolTip(QString());
    if (frmComment) frmComment->Memo1->clear();
    ThumbnailList1->SetSelectedIndex(-1);
    CurrentFile.clear();
    ImageData = std::make_shared<TimgData>(255);
    UpdateCommandStates();
}

void TForm1::ClearPicture() {
    if (!PictureView1->Picture().IsEmpty()) PictureView1->SetPicture(nullptr);
}

QString TForm1::TitleText() const {
    if (CurrentFile.isEmpty()) return tr("Quillmark");
    const QString name = DisplayFileName(CurrentFile);
    const int at = StripIndexOf(CurrentFile);
    if (at < 0) return name;
    return tr("%1 (%2/%3)").arg(name).arg(at + 1).arg(ThumbnailList1->Thumbnails().ThumbnailCount());
}

QSize TForm1::FittedViewBound() const {
    const QSize area = ScrollBox1->maximumViewportSize();
    const qreal ratio = PictureView1->devicePixelRatioF();
    return QSize(qCeil(area.width() * ratio), qCeil(area.height() * ratio));
}

namespace {

// A photo's metadata from its file's bytes, read once elsewhere, as ProcessFile would read the file:
// dated by its time of modification, its XMP sidecar beside it.
void ReadFromBytes(TimgData& data, const QString& file, const QByteArray& bytes, const QDateTime& modified) {
    const std::string name = ToFileName(file);
    // Days since 1899-12-30 in local time, as ProcessFile dates a file.
    const double stamp = double(modified.toSecsSinceEpoch() + modified.offsetFromUtc()) / 86400.0 + 25569.0;
    data.ProcessBytes(name, std::string_view(bytes.constData(), size_t(bytes.size())), stamp);
    data.XmpSidecar = ReadXmpSidecar(name);
}

} // namespace

void TForm1::PrefetchNeighbours() {
    const int here = StripIndexOf(CurrentFile);
    QStringList neighbours;
    // Next first: that is the way people go through a folder.
    for (const int step : {1, -1})
        if (const int at = here < 0 ? -1 : NextReadable(here, step); at >= 0)
            neighbours << ThumbnailList1->Thumbnails().ThumbnailAt(at)->Filename();
    if (!Prefetch || PrefetchVerbose != Verbose) {
        if (neighbours.isEmpty()) return;
        // The lists' metadata is read on the worker too, as ShowPhoto would read it.
        const int traceDetail = Verbose ? 1 : 0;
        // From the bytes the read-ahead has read: the file is not opened a second time.
        Prefetch = std::make_shared<TPrefetch>(
            [traceDetail](const QString& file, const QByteArray& bytes, const QDateTime& modified) {
                ReaderSettings().TraceDetail = traceDetail;
                auto data = std::make_shared<TimgData>(255);
                ReadFromBytes(*data, file, bytes, modified);
                return std::shared_ptr<void>(std::move(data));
            });
        PrefetchVerbose = Verbose;
    }
    Prefetch->Request(neighbours, FittedViewBound());
}

void TForm1::ShowPhoto(const QString& fileName, bool addToStrip) {
    if (!QFileInfo(fileName).isFile()) {
        Platform().ShowMessage(this, tr("File does not exists: ") + DisplayPath(fileName));
        return;
    }
    gapAt_ = -1;
    const QString shown = DisplayPath(fileName);
    const qsizetype slash = shown.lastIndexOf(QLatin1Char('/'));
    const QString folderPart = shown.left(slash + 1);
    const QString namePart = shown.mid(slash + 1);
    TBusyCursor busy;

    ClearRows(ValueListEditor1);
    ClearRows(ValueListEditor2);
    ClearRows(ValueListEditor3);
    ClearRows(ValueListEditor4);
    ClearPicture();
    ReaderSettings().TraceDetail = Verbose ? 1 : 0;
    Memo1->clear();

    PictureView1->SetPicture(nullptr);
    // The photo is shown fitted first: it is decoded no larger than the view can show, or taken as it was
    // decoded ahead for the same view.
    const QSize bound = FittedViewBound();
    PictureView1->Picture().SetViewBound(bound);
    std::optional<TPrefetched> ahead =
        Prefetch && PrefetchVerbose == Verbose ? Prefetch->Take(fileName, bound) : std::nullopt;
    if (ahead)
        PictureView1->Picture().LoadDecoded(ahead->Bytes, std::move(ahead->Picture));
    else
        PictureView1->Picture().LoadFile(fileName);
    if (ahead && ahead->Also) {
        ImageData = std::static_pointer_cast<TimgData>(std::move(ahead->Also));
    } else {
        ImageData->BuildMode = 255;
        // The bytes the view has just read are the file's: the metadata comes from them.
        const TPictureHolder& held = PictureView1->Picture();
        if (!held.IsEmpty() && !held.HeldBytes().isEmpty())
            ReadFromBytes(*ImageData, fileName, held.HeldBytes(), QFileInfo(fileName).lastModified());
        else
            ImageData->ProcessFile(ToFileName(fileName));
    }
    // The view paints the new picture before the lists are filled. Only the view: handling the window's
    // events here would run keys waiting in the queue in the middle of showing this photo.
    FitToWindow();
    if (PictureView1->isVisible()) PictureView1->repaint();

    Label1->setText(tr("Folder: ") + folderPart);
    Label1->setToolTip(Label1->text());
    Label2->setText(tr("Filename: ") + namePart);
    Label2->setToolTip(Label2->text());
    if (addToStrip) {
        TThumbnail* thumbnail = ThumbnailList1->Thumbnails().AddThumbnail();
        thumbnail->Picture().LoadFile(fileName);
        thumbnail->SetCaption(namePart);
        thumbnail->SetFilename(fileName);
    }
    CurrentFile = fileName;
    UpdateCommandStates();
    PrefetchNeighbours();
    // The comment dialog always shows this photo's comment: none when it has none.
    if (frmComment)
        frmComment->Memo1->setPlainText(
            ImageData->CommentSection ? PlainLines(ToDisplay(ImageData->CommentText(), TControls::LineBreaks))
                                      : QString());

    // The lists and the report, read once from what the container has just read.
    const TPhotoReport report = BuildPhotoReport(*ImageData);
    AppendRows(ValueListEditor1, report.ExifRows);
    AppendRows(ValueListEditor4, report.XmpRows);
    if (!ImageData->HasMetadata() && report.MemoLines.empty()) return;
    AppendRows(ValueListEditor2, report.MakerRows);
    if (!report.MemoLines.empty()) {
        QStringList lines;
        lines.reserve(qsizetype(report.MemoLines.size()));
        for (const std::string& line : report.MemoLines)
            lines << ToDisplay(line);
        Memo1->appendPlainText(lines.join(QLatin1Char('\n')));
    }
    AppendRows(ValueListEditor3, report.SummaryRows);
    if (!ImageData->HasExif()) return;
    Memo1->moveCursor(QTextCursor::Start);
    Memo1->verticalScrollBar()->setValue(0);
}

} // namespace quillmark
