#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace tessor {

// "Log In": asks for an account and a password and checks only their form.
class CLoginDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CLoginDlg(QWidget* parent = nullptr);

  QString account() const { return account_; }
  QString password() const { return password_; }
  QLineEdit* account_edit() const { return account_edit_; }
  QLineEdit* password_edit() const { return password_edit_; }

  void OkClicked();

 private:
  QLineEdit* account_edit_ = nullptr;
  QLineEdit* password_edit_ = nullptr;
  QString account_;
  QString password_;
  QString caption_;
};

// The account and password kept for the rest of the run after a confirmed log-in.
void KeepCredentials(const QString& account, const QString& password);
QString KeptAccount();
QString KeptPassword();

}  // namespace tessor
