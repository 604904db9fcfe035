#include "app/qt/PicturePreview.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Path.h"

namespace vorlane {

QImage LoadPreviewPicture(const QString& path)
{
    const std::string extension = path::AsciiLowerCase(path::ExtractFileExt(path.toStdString()));
    QByteArray format;
    if (extension == ".bmp")
        format = "bmp";
    else if (extension == ".jpg" || extension == ".jpeg" || extension == ".jpe" || extension == ".jfif")
        format = "jpeg";
    else
        return {};
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);
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
        painter.drawText(room, Qt::AlignCenter, QStringLiteral("(なし)"));
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

PreviewWindow::PreviewWindow(const QImage& picture, QWidget* parent)
    : QDialog(parent, Qt::Tool), picture_(picture)
{
    setWindowTitle(QStringLiteral("プレビュー"));
    QSize size = picture.size() + QSize(2 * Border, 2 * Border);
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
    painter.drawImage(rect().adjusted(Border, Border, -Border, -Border), picture_);
}

PicturePreviewPanel::PicturePreviewPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PicturePreviewPanel"));
    SizeLabel = new QLabel(QStringLiteral("画像:"), this);
    PreviewButton = new QToolButton(this);
    PreviewButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    PreviewButton->setToolTip(QStringLiteral("プレビュー"));
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
    SizeLabel->setText(picture.isNull() ? QStringLiteral("画像:")
                                        : QString::asprintf(" (%dx%d)", picture.width(), picture.height()));
}

void PicturePreviewPanel::OpenPreviewWindow()
{
    if (Area->Picture().isNull())
        return;
    PreviewWindow preview(Area->Picture(), window());
    preview.exec();
}

} // namespace vorlane
