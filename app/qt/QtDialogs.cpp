#include "app/qt/QtDialogs.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QGridLayout>

#include "app/MainWindowLayout.h"
#include "app/qt/GskFormUnit.h"
#include "app/qt/PicturePreview.h"

namespace vorlane {

namespace {

// The descriptions of a Windows filter, as the dialog shows them once the added patterns are hidden.
QStringList FilterDescriptions(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList descriptions;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        descriptions << parts[i];
    return descriptions;
}

// The names typed into the dialog's file-name box, in the order typed: each quoted name of
// '"a.jpg" "b.bmp"', or the whole text. Qt's dialog takes only the typed names its list shows under the
// current filter; the user meant every one of them.
QStringList TypedNames(const QFileDialog& dialog)
{
    const auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString text = edit ? edit->text().trimmed() : QString();
    QStringList names;
    if (text.contains(QLatin1Char('"'))) {
        const QStringList parts = text.split(QLatin1Char('"'));
        for (qsizetype i = 1; i < parts.size(); i += 2)
            if (!parts[i].isEmpty())
                names << parts[i];
    } else if (!text.isEmpty()) {
        names << text;
    }
    return names;
}

// Said when a typed name is no file, as an open dialog says it: the name, then that it was not found.
constexpr const char* FileNotFoundText = "%1\nファイルが見つかりません。\nファイル名を確認して再実行してください。";

// The dialog of a choice of several files that must exist: every name typed or selected must be a file. A missing one
// is named in a warning and the dialog stays open; otherwise the dialog closes with all of them, in the order typed.
class ExistingFilesDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    const QStringList& Chosen() const { return chosen_; }

    void accept() override
    {
        const QStringList names = TypedNames(*this);
        QStringList files;
        for (const QString& name : names)
            files << QDir::cleanPath(directory().absoluteFilePath(name));
        // One folder name opens the folder, as the dialog does by itself.
        if (fileMode() != ExistingFiles || files.isEmpty() || (files.size() == 1 && QFileInfo(files.front()).isDir())) {
            QFileDialog::accept();
            return;
        }
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (!QFileInfo(files[i]).isFile()) {
                QMessageBox::warning(this, windowTitle(), QString::fromUtf8(FileNotFoundText).arg(names[i]));
                return;
            }
        }
        chosen_ = files;
        QDialog::accept();
    }

private:
    QStringList chosen_;
};

} // namespace

QStringList QtNameFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

int ChosenFilterIndex(const std::string& filter, const QString& chosen)
{
    qsizetype index = QtNameFilters(filter).indexOf(chosen);
    if (index < 0)
        index = FilterDescriptions(filter).indexOf(chosen);
    return index < 0 ? 0 : int(index) + 1;
}

bool QtDialogRunner::Execute(TOpenDialog& settings)
{
    ExistingFilesDialog dialog(parent_ ? parent_ : QApplication::activeWindow(), QStringLiteral("開く"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setViewMode(QFileDialog::List); // names only, as an open dialog first shows them
    dialog.setFileMode(settings.AllowMultiSelect ? QFileDialog::ExistingFiles
                       : settings.FileMustExist  ? QFileDialog::ExistingFile
                                                 : QFileDialog::AnyFile);
    const QStringList filters = QtNameFilters(settings.Filter);
    dialog.setNameFilters(filters);
    if (settings.FilterIndex >= 1 && settings.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[settings.FilterIndex - 1]);
    if (!settings.InitialDir.empty())
        dialog.setDirectory(QString::fromStdString(settings.InitialDir));

    if (settings.PicturePreview) {
        auto* panel = new PicturePreviewPanel(&dialog);
        panel->setFixedWidth(PicturePreviewDesign.PanelWidth);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);
        QObject::connect(&dialog, &QFileDialog::currentChanged, panel,
                         [panel](const QString& path) { panel->ShowFile(path); });
    }
    if (!settings.Sizable) {
        dialog.setSizeGripEnabled(false);
        dialog.setFixedSize(dialog.sizeHint());
    }

    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings.Files.clear();
    const QStringList chosen =
        settings.AllowMultiSelect && !dialog.Chosen().isEmpty() ? dialog.Chosen() : dialog.selectedFiles();
    for (const QString& file : chosen)
        settings.Files.push_back(file.toStdString());
    settings.FileName = settings.Files.empty() ? std::string() : settings.Files.front();
    // The choice is kept, so the dialog opens on it next time.
    if (const int chosen = ChosenFilterIndex(settings.Filter, dialog.selectedNameFilter()))
        settings.FilterIndex = chosen;
    return !settings.Files.empty();
}

std::optional<std::string> QtDialogRunner::AskGalleryName()
{
    if (GskForm->exec() != mrOk)
        return std::nullopt;
    return GskForm->GskEdit->text().toStdString();
}

} // namespace vorlane
