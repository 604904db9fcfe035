#include "app/qt/ListView.h"

#include <string>
#include <string_view>
#include <vector>

#include <QAbstractListModel>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QIcon>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QStyledItemDelegate>

#include "app/qt/Pictures.h"
#include "gallery/ImageList.h"

namespace vorlane {
namespace {

const QString ItemMimeType = QStringLiteral("application/x-vorlane-gallery-item");

// Every item takes one grid cell less a small gap, so a caption gets the whole cell's width (two lines)
// whatever the first item's caption is, and the list needs no text measuring to lay out its items.
const QSize GridCell(76, 66);

class CellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return GridCell - QSize(4, 2); }
};

} // namespace

class GalleryItemModel final : public QAbstractListModel {
public:
    // Captions are kept as the bytes they came in, one after another, and made into text only for the
    // items that are painted: 10,000 items are then a few allocations, not 10,000.
    struct Item {
        size_t captionStart;
        size_t captionLength;
        int imageIndex;
    };

    void Add(const std::string& caption, int imageIndex)
    {
        items.push_back({captions.size(), caption.size(), imageIndex});
        captions += caption;
    }
    void ClearItems()
    {
        items.clear();
        captions.clear();
    }
    std::string_view Caption(const Item& item) const
    {
        return std::string_view(captions).substr(item.captionStart, item.captionLength);
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(items.size()); }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= int(items.size()))
            return {};
        const Item& item = items[size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole: {
            const std::string_view caption = Caption(item);
            return QString::fromUtf8(caption.data(), qsizetype(caption.size()));
        }
        case Qt::DecorationRole:
            return Icon(item.imageIndex);
        case Qt::BackgroundRole:
            if (dropTarget && *dropTarget == index.row())
                return QVariant::fromValue(highlight);
            return {};
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    }

    QStringList mimeTypes() const override { return {ItemMimeType}; }
    QMimeData* mimeData(const QModelIndexList& indexes) const override
    {
        auto* data = new QMimeData;
        data->setData(ItemMimeType, QByteArray::number(indexes.isEmpty() ? -1 : indexes.front().row()));
        return data;
    }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction | Qt::MoveAction; }

    void ForgetIcons() { icons.clear(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

    void SetDropTarget(std::optional<int> row)
    {
        if (row == dropTarget)
            return;
        const std::optional<int> old = dropTarget;
        dropTarget = row;
        for (const std::optional<int>& changed : {old, row})
            if (changed && *changed < rowCount())
                emit dataChanged(index(*changed), index(*changed), {Qt::BackgroundRole});
    }

    std::vector<Item> items;
    std::string captions;
    TImageList* images = nullptr;
    std::optional<int> dropTarget;
    QBrush highlight;

private:
    QVariant Icon(int imageIndex) const
    {
        if (!images || imageIndex < 0 || imageIndex >= images->Count())
            return {};
        if (size_t(imageIndex) >= icons.size())
            icons.resize(size_t(images->Count()));
        QIcon& icon = icons[size_t(imageIndex)];
        if (icon.isNull())
            icon = QIcon(QPixmap::fromImage(ImageListPicture(*images, imageIndex)));
        return icon;
    }

    mutable std::vector<QIcon> icons; // one per image of `images`, made when first painted
};

TListView::TListView(QWidget* parent) : QListView(parent), model_(std::make_unique<GalleryItemModel>())
{
    model_->highlight = palette().brush(QPalette::Highlight);
    setModel(model_.get());
    setViewMode(QListView::IconMode);
    setIconSize(QSize(32, 32));
    setGridSize(GridCell);
    setItemDelegate(new CellDelegate(this));
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    setWordWrap(true);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(500);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
}

TListView::~TListView()
{
    setModel(nullptr);
}

void TListView::BeginUpdate()
{
    if (updateDepth_++ == 0)
        model_->BeginReset();
}

void TListView::EndUpdate()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0)
        model_->EndReset();
}

void TListView::Clear()
{
    BeginUpdate();
    model_->ClearItems();
    model_->ForgetIcons(); // the images may have changed since they were drawn
    EndUpdate();
}

void TListView::SetLargeImages(TImageList* images)
{
    BeginUpdate();
    model_->images = images;
    model_->ForgetIcons();
    EndUpdate();
}

void TListView::AddItem(const std::string& caption, int imageIndex)
{
    BeginUpdate();
    model_->Add(caption, imageIndex);
    EndUpdate();
}

std::optional<int> TListView::SelectedIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.front().row();
}

std::optional<int> TListView::DropTargetIndex() const
{
    return dropTarget_;
}

int TListView::Count() const
{
    return int(model_->items.size());
}

std::string TListView::Caption(int index) const
{
    return std::string(model_->Caption(model_->items.at(size_t(index))));
}

void TListView::Select(std::optional<int> index)
{
    if (index && *index >= 0 && *index < Count())
        setCurrentIndex(model_->index(*index));
    else
        clearSelection();
}

void TListView::DropOn(std::optional<int> target)
{
    dropTarget_ = target;
    model_->SetDropTarget(std::nullopt);
    if (OnDragDrop)
        OnDragDrop();
    dropTarget_.reset();
}

bool TListView::OwnDrag(const QDropEvent* event) const
{
    return event->source() == this && event->mimeData()->hasFormat(ItemMimeType);
}

std::optional<int> TListView::ItemAt(const QDropEvent* event) const
{
    const QModelIndex under = indexAt(event->position().toPoint());
    return under.isValid() ? std::optional<int>(under.row()) : std::nullopt;
}

bool TListView::AcceptOwnDrag(QDropEvent* event) const
{
    if (!OwnDrag(event)) {
        event->ignore();
        return false;
    }
    // A copy, so that Qt removes nothing from the list once the drag is over.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void TListView::dragEnterEvent(QDragEnterEvent* event)
{
    AcceptOwnDrag(event);
}

void TListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!OwnDrag(event)) {
        event->ignore();
        return;
    }
    QListView::dragMoveEvent(event); // scrolls near the edges
    model_->SetDropTarget(ItemAt(event));
    AcceptOwnDrag(event);
}

void TListView::dragLeaveEvent(QDragLeaveEvent* event)
{
    model_->SetDropTarget(std::nullopt);
    QListView::dragLeaveEvent(event);
}

void TListView::dropEvent(QDropEvent* event)
{
    if (AcceptOwnDrag(event))
        DropOn(ItemAt(event));
}

} // namespace vorlane
