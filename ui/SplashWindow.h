#pragma once

#include <QWidget>

namespace quarn {

// The window shown while the application starts (frmSplash): product name,
// version, platform, and the credits and research-use notice.
class SplashWindow : public QWidget {
 public:
  explicit SplashWindow(QWidget* parent = nullptr);
};

// The application's version, as the build states it.
const char* quarnVersion();

}  // namespace quarn
