#pragma once

#include <QLabel>
#include <QWidget>

namespace quarn {

// The window shown while the application starts: product name, version,
// platform and the credits and research-use notice.
class frmSplash : public QWidget {
 public:
  explicit frmSplash(QWidget* parent = nullptr);

  QLabel* lblProductName;
  QLabel* lblVersion;
  QLabel* lblPlatform;
  QLabel* lblCredits;
};

// The application's version, as the build states it.
const char* QuarnVersion();

}  // namespace quarn
