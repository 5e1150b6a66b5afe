// The one Qt application of a test program, on Qt's offscreen platform.
#pragma once

class QApplication;

namespace testing_support {

QApplication& OffscreenApplication();

}  // namespace testing_support
