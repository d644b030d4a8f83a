#pragma once

#include <QCoreApplication>
#include <QWidget>

namespace quarn {

// The window shown while the application starts (frmSplash): product name,
// version, platform, and the credits and research-use notice.
class SplashWindow : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(SplashWindow)

 public:
  explicit SplashWindow(QWidget* parent = nullptr);
};

}  // namespace quarn
