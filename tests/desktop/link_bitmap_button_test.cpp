#include <gtest/gtest.h>

#include "offscreen_app.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <cstdlib>
#include <string>
#include <vector>

#include "browser_launcher.h"
#include "link_bitmap_button.h"

namespace {

QApplication& App() { return testing_support::OffscreenApplication(); }

void Mouse(QWidget& widget, QEvent::Type type) {
    const QPointF at(5, 5);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

class LinkBitmapButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        sheet_.resize(300, 100);
        ok_ = new QPushButton("OK", &sheet_);
        ok_->setObjectName(desktop::LinkBitmapButton::kOkButtonName);
        button_ = new desktop::LinkBitmapButton(&sheet_, [this](platform::HWND, const std::string& address) {
            opened_.push_back(address);
            return 1;
        });
        button_->move(0, 40);
        sheet_.show();
    }

    QApplication& app_ = App();  // before any widget
    QWidget sheet_;
    QPushButton* ok_ = nullptr;
    desktop::LinkBitmapButton* button_ = nullptr;
    std::vector<std::string> opened_;
};

}  // namespace

TEST_F(LinkBitmapButtonTest, HoveringLightsItAndLeavingRestoresTheNormalPicture) {
    EXPECT_STREQ(button_->currentBitmap(), "BITBUTD");
    Mouse(*button_, QEvent::MouseMove);
    EXPECT_TRUE(button_->tracking());
    EXPECT_STREQ(button_->currentBitmap(), "BITBUTF");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button_, &leave);
    EXPECT_FALSE(button_->tracking());
    EXPECT_STREQ(button_->currentBitmap(), "BITBUTD");
    EXPECT_TRUE(opened_.empty());
    button_->setEnabled(false);
    EXPECT_STREQ(button_->currentBitmap(), "BITBUTX");
}

TEST_F(LinkBitmapButtonTest, PressingOpensTheSiteAndHandsTheFocusToOk) {
    Mouse(*button_, QEvent::MouseMove);
    Mouse(*button_, QEvent::MouseButtonPress);  // the mouse never left
    EXPECT_FALSE(button_->tracking());
    EXPECT_EQ(opened_, std::vector<std::string>{desktop::kMakerPage});
    button_->setFocus();
    Mouse(*button_, QEvent::MouseButtonRelease);
    EXPECT_EQ(sheet_.focusWidget(), ok_);
}
