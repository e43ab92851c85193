#pragma once
// Program start-up shared by the executable and the tests.

class QApplication;

namespace clipora {
// Font substitutions and the application font; call once after QApplication.
void setUpApplication(QApplication& app);
}  // namespace clipora
