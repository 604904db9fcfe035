#include "app/qt/GskFormUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "app/qt/Appearance.h"
#include "app/Dialogs.h"

namespace vorlane {

TGskForm* GskForm = nullptr;

TGskForm::TGskForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
{
    setWindowTitle(QStringLiteral("GskForm"));
    setFont(WindowFont());
    setFixedSize(173, 96);
    move(192, 279);

    Label1 = new QLabel(QStringLiteral("画集の名前を入力してください"), this);
    Label1->setGeometry(8, 8, 152, 12);

    GskEdit = new QLineEdit(this);
    GskEdit->setGeometry(8, 24, 153, 20);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setGeometry(8, 56, 73, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(mrOk); });

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("キャンセル"), this);
    BitBtn2->setGeometry(88, 56, 73, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });

    setTabOrder(GskEdit, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    GskEdit->setFocus();
}

void TGskForm::reject()
{
    done(mrCancel);
}

} // namespace vorlane
