// The picture dialog's preview panel, and the preview window it opens.
#pragma once

#include <functional>

#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QWidget>

class QLabel;
class QToolButton;

namespace vorlane {

// The picture a file holds when it loads as a bitmap or a JPEG picture (chosen by its extension, as the
// picture dialog does); a null image otherwise.
QImage LoadPreviewPicture(const QString& path);

// The preview area: the picture centred at its own size when it fits, otherwise scaled down with its
// proportions kept; the layout's text when there is no picture.
class PreviewArea : public QFrame {
public:
    explicit PreviewArea(QWidget* parent = nullptr);
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    std::function<void()> OnDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

// A resizable tool window with the layout's caption: the picture inside the layout's border, stretched
// to the window.
class PreviewWindow : public QDialog {
public:
    PreviewWindow(const QImage& picture, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// The panel beside the file list: the size label, the preview area and the preview button.
class PicturePreviewPanel : public QWidget {
public:
    explicit PicturePreviewPanel(QWidget* parent = nullptr);
    void ShowFile(const QString& path);

    QLabel* SizeLabel;
    PreviewArea* Area;
    QToolButton* PreviewButton;

private:
    void OpenPreviewWindow();
};

} // namespace vorlane
