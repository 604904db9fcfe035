// The gallery-name dialog: one edit box with OK and Cancel. The commands show it modally and read the
// edit box after OK; its text is never cleared, so it shows the last typed name when opened again.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlane {

class TGskForm : public QDialog {
public:
    explicit TGskForm(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* GskEdit;
    QPushButton* BitBtn1; // OK: default button, modal result 1
    QPushButton* BitBtn2; // キャンセル: Escape, modal result 2

    // Escape and the frame's close box give Cancel too.
    void reject() override;
};

// The application's gallery-name dialog, alive from start-up to the end of the process.
extern TGskForm* GskForm;

} // namespace vorlane
