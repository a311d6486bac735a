// The verdict shown beside the chosen image: a wrong file is flagged before
// anything is sent to the device.
#include <QFile>
#include <QLabel>

#include "database/image_validation.h"
#include "ui/veld_setting_dlg.h"

namespace tessor {

namespace {
// Far above any device's flash; a larger file cannot be an image.
constexpr qint64 kLargestImage = 64 * 1024 * 1024;

QString Verdict(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "Cannot read the file: " + file.errorString();
  if (file.size() > kLargestImage) return "Not a VELD image: the file is too large";
  const QByteArray bytes = file.readAll();
  const ImageVerdict verdict = ValidateImage(std::span<const uint8_t>(
      reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())));
  if (verdict.valid) return QString("Valid VELD image, %1 bytes").arg(bytes.size());
  return "Not a VELD image: " + QString::fromStdString(verdict.reason);
}
}  // namespace

void CVELDSettingDlg::ShowVerdict() {
  const QString verdict = Verdict(image_path_);
  verdict_text_->setText(verdict);
  verdict_text_->setStyleSheet(verdict.startsWith("Valid") ? "color: #006400" : "color: #a00000");
}

}  // namespace tessor
