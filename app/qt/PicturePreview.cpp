#include "app/qt/PicturePreview.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MainWindowLayout.h"
#include "image/PictureDecoder.h"
#include "platform/Exceptions.h"

namespace vorlane {

QImage LoadPreviewPicture(const QString& path)
{
    const std::string file = path.toStdString();
    const PreviewFormat byName = PreviewFormatOf(file);
    if (byName != PreviewFormat::Bitmap) {
        // A picture of the other formats is known by its first bytes, transparent parts over white.
        try {
            const Bitmap picture = DecodeRecognisedPictureFile(file, MakeRgb(255, 255, 255));
            if (!picture.Empty())
                return QImage(picture.Pixels().data(), picture.Width(), picture.Height(), qsizetype(picture.Stride()),
                              QImage::Format_BGR888)
                    .copy();
        } catch (const Exception&) {
            return {}; // not a picture after all: the panel shows none
        }
    }
    QByteArray format;
    switch (byName) {
    case PreviewFormat::Bitmap:
        format = "bmp";
        break;
    case PreviewFormat::Jpeg:
        format = "jpeg";
        break;
    case PreviewFormat::None:
        return {};
    }
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true); // a photo with an orientation tag shows upright
    return reader.read();
}

PreviewArea::PreviewArea(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setMinimumSize(150, 150);
}

void PreviewArea::SetPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

void PreviewArea::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect room = contentsRect();
    if (picture_.isNull()) {
        painter.drawText(room, Qt::AlignCenter, QString::fromUtf8(PicturePreviewDesign.NoPictureText));
        return;
    }
    QSize size = picture_.size();
    if (size.width() > room.width() || size.height() > room.height())
        size.scale(room.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(room.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

void PreviewArea::mouseDoubleClickEvent(QMouseEvent* event)
{
    QFrame::mouseDoubleClickEvent(event);
    if (!picture_.isNull() && OnDoubleClick)
        OnDoubleClick();
}

PreviewWindow::PreviewWindow(const QImage& picture, QWidget* parent) : QDialog(parent, Qt::Tool), picture_(picture)
{
    setWindowTitle(QString::fromUtf8(PicturePreviewDesign.Preview));
    const int border = PicturePreviewDesign.PreviewBorder;
    QSize size = picture.size() + QSize(2 * border, 2 * border);
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    size = size.boundedTo(available.size()); // a huge picture gets a window no bigger than the screen
    resize(size);
    QRect frame(QPoint(0, 0), size);
    frame.moveCenter(available.center());
    move(frame.topLeft());
}

void PreviewWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int border = PicturePreviewDesign.PreviewBorder;
    painter.drawImage(rect().adjusted(border, border, -border, -border), picture_);
}

PicturePreviewPanel::PicturePreviewPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PicturePreviewPanel"));
    SizeLabel = new QLabel(QString::fromUtf8(PicturePreviewDesign.NoPictureLabel), this);
    PreviewButton = new QToolButton(this);
    PreviewButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    PreviewButton->setToolTip(QString::fromUtf8(PicturePreviewDesign.Preview));
    PreviewButton->setEnabled(false);
    Area = new PreviewArea(this);

    auto* top = new QHBoxLayout;
    top->addWidget(SizeLabel, 1);
    top->addWidget(PreviewButton, 0, Qt::AlignRight | Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(Area, 1);

    connect(PreviewButton, &QToolButton::clicked, this, [this] { OpenPreviewWindow(); });
    Area->OnDoubleClick = [this] { OpenPreviewWindow(); };
}

void PicturePreviewPanel::ShowFile(const QString& path)
{
    const QImage picture = path.isEmpty() ? QImage() : LoadPreviewPicture(path);
    Area->SetPicture(picture);
    PreviewButton->setEnabled(!picture.isNull());
    SizeLabel->setText(picture.isNull()
                           ? QString::fromUtf8(PicturePreviewDesign.NoPictureLabel)
                           : QString::asprintf(PicturePreviewDesign.SizeLabel, picture.width(), picture.height()));
}

void PicturePreviewPanel::OpenPreviewWindow()
{
    if (Area->Picture().isNull())
        return;
    PreviewWindow preview(Area->Picture(), window());
    preview.exec();
}

} // namespace vorlane
