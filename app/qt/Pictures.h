// The program's own pictures (placeholder thumbnail, tool-button flowers), kept in its resources, and the
// way between image lists and Qt pictures.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace vorlane {

class TImageList;

inline const QString PlaceholderPicture = QStringLiteral(":/pictures/placeholder.png");
QString ButtonPicture(int index); // flowers 0 to 4

// Appends a picture to a 32x32 image list: its colours, and its mask from the alpha channel (a pixel
// less than half opaque is transparent).
void AddPicture(TImageList& list, const QImage& picture);
void AddPicture(TImageList& list, const QString& resource);

// Image `index` of the list with its mask as transparency.
QImage ImageListPicture(const TImageList& list, int index);
QIcon ImageListIcon(const TImageList& list, int index);

} // namespace vorlane
