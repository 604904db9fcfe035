// The program's own pictures, kept in its resources as bitmap strips with masks: the placeholder
// thumbnail and the five tool-button flowers.
#pragma once

namespace vorlane {

class TImageList;

// Appends the placeholder (one image) to `list`.
void AddPlaceholderPicture(TImageList& list);
// Appends the five flowers to `list`; the tool buttons use the first four.
void AddButtonPictures(TImageList& list);

} // namespace vorlane
