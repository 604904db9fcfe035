#include "tests/app/AppFixture.h"

#include <cstdlib>

#include <QApplication>
#include <QLineEdit>

#include "app/qt/ErrorReport.h"
#include "app/qt/GskFormUnit.h"

namespace vorlane::test {

void AppTest::SetUp()
{
    ProgramFolderTest::SetUp();
    SetErrorPresenter([this](const std::string&, const std::string& text) { errors_.push_back(text); });
    GskForm = new TGskForm;
    dialogs_.onTyped = [](const std::string& name) { GskForm->GskEdit->setText(QString::fromStdString(name)); };
}

void AppTest::TearDown()
{
    delete GskForm;
    GskForm = nullptr;
    SetErrorPresenter({});
    ProgramFolderTest::TearDown();
}

} // namespace vorlane::test

// fontconfig keeps some of its font-matching data for the life of the process, unreachable to the leak
// checker; it is not the program's to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// Widgets need the application object before any test runs.
int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
