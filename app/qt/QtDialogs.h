// The dialogs as the user sees them: Qt's file dialog (with the preview panel for pictures) and the
// gallery-name dialog shown modally.
#pragma once

#include <string>

#include <QStringList>

#include "app/Dialogs.h"

class QWidget;

namespace vorlane {

// A Windows filter ("description|patterns|...") as Qt name filters. Each becomes
// "description (patterns)", shown without the added patterns, so "JPEG(*.jpg)|*jpg" reads
// "JPEG(*.jpg)" and lists every name ending in "jpg".
QStringList QtNameFilters(const std::string& filter);
// The pair (from 1) the dialog reports as chosen, by its full text or by its description as shown; 0
// for none.
int ChosenFilterIndex(const std::string& filter, const QString& chosen);

class QtDialogRunner final : public DialogRunner {
public:
    // Dialogs open over `parent`, or over the active window when it is null.
    explicit QtDialogRunner(QWidget* parent = nullptr) : parent_(parent) {}
    bool Execute(TOpenDialog& dialog) override;
    // Shows GskForm.
    std::optional<std::string> AskGalleryName() override;

private:
    QWidget* parent_;
};

} // namespace vorlane
