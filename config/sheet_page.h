// A page of the configuration sheet: its controls exchange the settings they hold with the
// settings record, and tell the sheet when the user changed something.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "settings.h"

namespace config {

// What the sheet offers its pages.
struct SheetServices {
    std::function<void(const std::string&)> setCaption;  // the sheet's title
    std::function<void()> pageModified;                   // enables Apply
};

class SheetPage : public QWidget {
public:
    SheetPage(const char* title, SheetServices services) : title_(title), services_(std::move(services)) {}

    const char* title() const { return title_; }
    virtual void SettingsToPage(const saver::SaverSettings&) {}
    virtual void SettingsFromPage(saver::SaverSettings&) {}
    // Before the settings are taken over: false (after telling the user why) keeps the sheet open.
    virtual bool Validate() { return true; }
    // Once, before the sheet shows: the page's first display.
    virtual void Initialise() { BeginUserChanges(); }

protected:
    // Changes made while the page fills its controls are not the user's: pages call this after.
    void BeginUserChanges() { userChanges_ = true; }
    void SetModified() const {
        if (userChanges_ && services_.pageModified) services_.pageModified();
    }
    void SetCaption(const std::string& text) const {
        if (services_.setCaption) services_.setCaption(text);
    }

private:
    const char* title_;
    SheetServices services_;
    bool userChanges_ = false;
};

}  // namespace config
