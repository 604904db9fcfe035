// What the Qt window's tests share: the commands' fixture (a program folder and a settings folder of
// their own, dialogs that answer from a script) with the name dialog's edit box typed into as the user
// types, and error boxes that are recorded instead of shown.
#pragma once

#include <string>
#include <vector>

#include "tests/app/CommandsFixture.h"

namespace vorlane::test {

class AppTest : public ProgramFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::vector<std::string> errors_; // texts of the error boxes, in order
};

} // namespace vorlane::test
