#include "app/output_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

#include "app/qt_text.h"
#include "platform/profile_file.h"

namespace kestrano {
namespace {

const Text section = "配置文件"_t;
const Text key = "保存目录"_t;

QString desktop_directory() {
  return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

}  // namespace

Text load_output_folder(const std::filesystem::path& settings_file) {
  return read_profile_value(settings_file, section, key);
}

void save_output_folder(const std::filesystem::path& settings_file, const Text& folder) {
  write_profile_value(settings_file, section, key, folder);
}

Text default_output_folder() {
  QString folder = desktop_directory();
  if (!folder.isEmpty() && !folder.endsWith(QDir::separator())) folder += QDir::separator();
  return text_from_qstring(folder + QStringLiteral("全民小视频下载目录"));
}

QString choose_folder(QWidget* owner) {
  const QString chosen = QFileDialog::getExistingDirectory(owner, QStringLiteral("设置视频输出位置"), desktop_directory(),
                                                           QFileDialog::ShowDirsOnly);
  return QDir::toNativeSeparators(chosen);
}

}  // namespace kestrano
