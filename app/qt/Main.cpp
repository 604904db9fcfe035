// The program Vorlane16: the application object, the main window and the gallery-name dialog, then the
// event loop until the main window closes.
#include <cstdio>
#include <exception>

#include <QApplication>
#include <QMessageBox>

#include "app/qt/Application.h"
#include "app/qt/ErrorReport.h"
#include "app/qt/GskFormUnit.h"
#include "app/qt/MaonFormUnit.h"
#include "app/qt/QtDialogs.h"

int main(int argc, char** argv)
{
    using namespace vorlane;
    if (const std::optional<int> status = AnswerCommandLine({argv + 1, argv + argc}, stdout))
        return *status;
    if (const std::string missing = MissingDisplay(); !missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    TApplication application(argc, argv);
    QtDialogRunner dialogs;
    try {
        MainForm = new TMainForm(dialogs);
        GskForm = new TGskForm;
    } catch (const std::exception& error) {
        // Nothing of the program can run without its windows.
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(StartupErrorTitle),
                        QString::fromStdString(StartupErrorText(error)), QMessageBox::Ok);
        box.exec();
        return 1;
    }
    MainForm->show();
    const int code = application.exec();
    delete MainForm;
    MainForm = nullptr;
    delete GskForm;
    GskForm = nullptr;
    return code;
}
