#include "app/shell_open.h"

#include <QDesktopServices>
#include <QUrl>

#include "app/qt_text.h"

namespace kestrano {

bool open_with_shell(const Text& address) {
  const QUrl url(qstring_from_text(address), QUrl::TolerantMode);
  if (!url.isValid() || url.host().isEmpty()) return false;
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return false;
  QDesktopServices::openUrl(url);
  return true;
}

}  // namespace kestrano
