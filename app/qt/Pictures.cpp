#include "app/qt/Pictures.h"

#include <vector>

#include <QPixmap>

#include "gallery/ImageList.h"
#include "platform/Exceptions.h"

namespace vorlane {

QString ButtonPicture(int index)
{
    return QStringLiteral(":/pictures/flower%1.png").arg(index);
}

void AddPicture(TImageList& list, const QImage& picture)
{
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32)
                              .scaled(list.Width(), list.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    Bitmap image(list.Width(), list.Height(), 24);
    Bitmap mask(list.Width(), list.Height(), 1);
    mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    for (int y = 0; y < source.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const bool transparent = qAlpha(line[x]) < 128;
            // Transparent pixels hold black, as a masked image list keeps them.
            image.SetPixelRgb(x, y, transparent ? 0 : MakeRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x])));
            mask.SetPixelValue(x, y, transparent ? 1 : 0);
        }
    }
    list.Add(image, &mask);
}

void AddPicture(TImageList& list, const QString& resource)
{
    QImage picture(resource);
    if (picture.isNull())
        throw EInvalidGraphic(msg::InvalidGraphic);
    AddPicture(list, picture);
}

QImage ImageListPicture(const TImageList& list, int index)
{
    const Bitmap image = list.Image(index);
    const Bitmap mask = list.Mask(index);
    QImage result(image.Width(), image.Height(), QImage::Format_ARGB32);
    std::vector<Rgb> colours(size_t(image.Width()));
    for (int y = 0; y < image.Height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        const uint8_t* bits = mask.Row(y);
        image.RowRgb(y, colours.data());
        for (int x = 0; x < image.Width(); ++x) {
            const Rgb colour = colours[size_t(x)];
            const bool transparent = bits[x >> 3] & (0x80 >> (x & 7));
            line[x] = transparent ? qRgba(0, 0, 0, 0) : qRgb(RedOf(colour), GreenOf(colour), BlueOf(colour));
        }
    }
    return result;
}

QIcon ImageListIcon(const TImageList& list, int index)
{
    return QIcon(QPixmap::fromImage(ImageListPicture(list, index)));
}

} // namespace vorlane
