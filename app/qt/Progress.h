// The progress of long work in the window: a progress dialog that counts, in the window's font, shown
// once the work has lasted a while.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include "app/MainWindowFrontEnd.h"

class QWidget;

namespace vorlane {

class QtWorkProgress final : public WorkProgress {
public:
    // The dialog opens over `window` once `delay` has passed since this object was made.
    QtWorkProgress(QWidget& window, const std::string& text, size_t total, std::chrono::milliseconds delay);
    ~QtWorkProgress() override;
    // Draws the window (and, once shown, runs the dialog) meanwhile; before the dialog is shown the
    // window takes no input, after it the dialog is modal.
    bool Step(size_t done) override;

private:
    QString Label(size_t done) const;

    QWidget& window_;
    const QString text_;
    const size_t total_;
    const std::chrono::milliseconds delay_;
    QElapsedTimer clock_;
    QPointer<QProgressDialog> dialog_;
};

} // namespace vorlane
