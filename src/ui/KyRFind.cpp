#include "ui/KyRFind.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "report/KyRDMan.h"

namespace hy {

namespace {
QString Str(int language, int k) { return QString::fromStdString(LoadString(language, k)); }
}  // namespace

TfrmKyRFind::TfrmKyRFind(QWidget* parent) : QDialog(parent) {
  setObjectName("frmKyRFind");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  lblText_ = new QLabel(this);
  edTextValue_ = new QLineEdit(this);
  edTextValue_->setObjectName("edTextValue");
  lblText_->setBuddy(edTextValue_);

  gbOptions_ = new QGroupBox(this);
  chkCaseSensitive_ = new QCheckBox(gbOptions_);
  chkCaseSensitive_->setObjectName("chkCaseSensitive");
  cbMode_ = new QComboBox(gbOptions_);
  cbMode_->setObjectName("cbMode");
  cbMode_->addItems({QString(), QString(), QString()});
  cbMode_->setCurrentIndex(fmBeginning);
  auto* options = new QVBoxLayout(gbOptions_);
  options->addWidget(chkCaseSensitive_);
  options->addWidget(cbMode_);

  rgScope_ = new QGroupBox(this);
  rbGlobal_ = new QRadioButton(rgScope_);
  rbGlobal_->setObjectName("rbGlobal");
  rbCurrentPage_ = new QRadioButton(rgScope_);
  rbCurrentPage_->setObjectName("rbCurrentPage");
  rbCurrentPage_->setChecked(true);
  auto* scope = new QVBoxLayout(rgScope_);
  scope->addWidget(rbGlobal_);
  scope->addWidget(rbCurrentPage_);

  btnOK_ = new QPushButton(this);
  btnOK_->setDefault(true);
  btnCancel_ = new QPushButton(this);
  connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(lblText_, 0, 0, 1, 2);
  grid->addWidget(edTextValue_, 1, 0, 1, 2);
  grid->addWidget(gbOptions_, 2, 0);
  grid->addWidget(rgScope_, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK_);
  buttons->addWidget(btnCancel_);
  grid->addLayout(buttons, 3, 0, 1, 2);
  Localize();
  resize(368, 163);
}

void TfrmKyRFind::Localize() {
  setWindowTitle(Str(language_, kStrFindFirst));
  lblText_->setText(Str(language_, kStrFindFirst + 1));
  gbOptions_->setTitle(Str(language_, kStrFindFirst + 2).trimmed());
  chkCaseSensitive_->setText(Str(language_, kStrFindFirst + 3));
  for (int i = 0; i < 3; ++i) cbMode_->setItemText(i, Str(language_, kStrFindFirst + 4 + i));
  rgScope_->setTitle(Str(language_, kStrFindFirst + 7).trimmed());
  rbGlobal_->setText(Str(language_, kStrFindFirst + 8));
  rbCurrentPage_->setText(Str(language_, kStrFindFirst + 9));
  btnOK_->setText(Str(language_, kStrOK));
  btnCancel_->setText(Str(language_, kStrCancel));
}

void TfrmKyRFind::showEvent(QShowEvent* event) {
  Localize();
  edTextValue_->setFocus();
  edTextValue_->selectAll();
  QDialog::showEvent(event);
}

TKyRFindOptions TfrmKyRFind::Options() const {
  TKyRFindOptions options;
  options.Text = edTextValue_->text().toStdString();
  options.Mode = static_cast<TKyRFindMode>(std::max(0, cbMode_->currentIndex()));
  options.CaseSensitive = chkCaseSensitive_->isChecked();
  return options;
}

bool TfrmKyRFind::Global() const { return rbGlobal_->isChecked(); }

}  // namespace hy
