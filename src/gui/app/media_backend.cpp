#include "gui/app/media_backend.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace scrivel::gui {

namespace {

bool HasGStreamerPlayback() {
  QStringList folders;
  for (const char* variable : {"GST_PLUGIN_PATH", "GST_PLUGIN_PATH_1_0", "GST_PLUGIN_SYSTEM_PATH",
                               "GST_PLUGIN_SYSTEM_PATH_1_0"}) {
    folders += QString::fromLocal8Bit(qgetenv(variable)).split(QLatin1Char(':'), Qt::SkipEmptyParts);
  }
  folders << QStringLiteral("/usr/lib/x86_64-linux-gnu/gstreamer-1.0")
          << QStringLiteral("/usr/lib/aarch64-linux-gnu/gstreamer-1.0") << QStringLiteral("/usr/lib64/gstreamer-1.0")
          << QStringLiteral("/usr/lib/gstreamer-1.0");
  for (const QString& folder : folders) {
    if (QFileInfo::exists(folder + QStringLiteral("/libgstplayback.so"))) return true;
  }
  return false;
}

}  // namespace

void ChooseMediaBackend() {
  if (!qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) return;
  if (!HasGStreamerPlayback()) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

}  // namespace scrivel::gui
