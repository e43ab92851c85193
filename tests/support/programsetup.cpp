// Linked into the tests that drive the program's windows: the program's own
// start-up set-up (fonts and the clipboard's metafile reader) runs once the
// test main has created the application object.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/startup.h"

namespace {

class ProgramSetUp : public ::testing::Environment {
public:
    void SetUp() override { clipora::setUpApplication(*qobject_cast<QApplication*>(QCoreApplication::instance())); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ProgramSetUp);

}  // namespace
