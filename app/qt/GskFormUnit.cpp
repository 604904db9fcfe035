#include "app/qt/GskFormUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "app/Dialogs.h"
#include "app/MainWindowLayout.h"
#include "app/qt/Appearance.h"

namespace vorlane {

TGskForm* GskForm = nullptr;

TGskForm::TGskForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint)
{
    const GskFormLayout& layout = GskFormDesign;
    const auto place = [](QWidget* widget, const DialogControlLayout& control) {
        widget->setGeometry(control.Place.Left, control.Place.Top, control.Place.Width, control.Place.Height);
    };
    setWindowTitle(QString::fromUtf8(layout.Caption));
    setFont(WindowFont());
    setFixedSize(layout.Place.Width, layout.Place.Height);
    move(layout.Place.Left, layout.Place.Top);

    Label1 = new QLabel(QString::fromUtf8(layout.Label1.Text), this);
    place(Label1, layout.Label1);

    GskEdit = new QLineEdit(QString::fromUtf8(layout.GskEdit.Text), this);
    place(GskEdit, layout.GskEdit);

    BitBtn1 =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QString::fromUtf8(layout.BitBtn1.Text), this);
    place(BitBtn1, layout.BitBtn1);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(mrOk); });

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QString::fromUtf8(layout.BitBtn2.Text), this);
    place(BitBtn2, layout.BitBtn2);
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
