#include "app/qt/Progress.h"

#include <climits>

#include <QCoreApplication>

#include "app/qt/Appearance.h"
#include "app/qt/ErrorReport.h"

namespace vorlane {
namespace {

constexpr const char* CancelCaption = "キャンセル";

} // namespace

QtWorkProgress::QtWorkProgress(QWidget& window, const std::string& text, size_t total, std::chrono::milliseconds delay)
    : window_(window),
      text_(QString::fromStdString(text)),
      total_(total),
      delay_(delay)
{
    clock_.start();
}

QtWorkProgress::~QtWorkProgress()
{
    delete dialog_.data();
}

QString QtWorkProgress::Label(size_t done) const
{
    return QStringLiteral("%1  %2 / %3").arg(text_).arg(done).arg(total_);
}

bool QtWorkProgress::Step(size_t done)
{
    const int range = int(std::min<size_t>(total_, INT_MAX));
    if (!dialog_ && clock_.elapsed() >= delay_.count()) {
        dialog_ = new QProgressDialog(Label(done), QString::fromUtf8(CancelCaption), 0, range, &window_);
        dialog_->setWindowTitle(QString::fromStdString(ApplicationTitle()));
        dialog_->setFont(WindowFont());
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->setMinimumDuration(0);
        dialog_->show();
    }
    if (dialog_) {
        dialog_->setLabelText(Label(done));
        dialog_->setValue(int(std::min<size_t>(done, size_t(range))));
        QCoreApplication::processEvents();
        return !dialog_->wasCanceled();
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
}

} // namespace vorlane
