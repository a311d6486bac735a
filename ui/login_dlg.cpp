#include "ui/login_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/shell.h"
#include "engine/string_table.h"
#include "ui/message_seam.h"

namespace tessor {

namespace {
QString& Account() {
  static QString account;
  return account;
}
QString& Password() {
  static QString password;
  return password;
}
}  // namespace

void KeepCredentials(const QString& account, const QString& password) {
  Account() = account;
  Password() = password;
}
QString KeptAccount() {
  return Account();
}
QString KeptPassword() {
  return Password();
}

CLoginDlg::CLoginDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Log In");
  caption_ = LoadText(kStrCaption);
  account_edit_ = new QLineEdit(this);
  password_edit_ = new QLineEdit(this);
  password_edit_->setEchoMode(QLineEdit::Password);
  auto* ok = new QPushButton("OK", this);
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Account", this), 0, 0);
  grid->addWidget(account_edit_, 0, 1, 1, 2);
  grid->addWidget(new QLabel("Account format: XXXX@ host name", this), 1, 1, 1, 2);
  grid->addWidget(new QLabel("Password", this), 2, 0);
  grid->addWidget(password_edit_, 2, 1, 1, 2);
  grid->addWidget(ok, 3, 1);
  grid->addWidget(cancel, 3, 2);
  connect(ok, &QPushButton::clicked, this, &CLoginDlg::OkClicked);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CLoginDlg::OkClicked() {
  account_ = account_edit_->text();
  password_ = password_edit_->text();
  if (account_.isEmpty() || password_.isEmpty()) {
    ShowMessage(this, caption_, "Please input account or password");
    return;
  }
  if (!account_.contains('@')) {
    ShowMessage(this, caption_, "Account format is not correct, please check");
    return;
  }
  accept();
}

}  // namespace tessor
