#include "about_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "message_box.h"
#include "page_controls.h"
#include "program_info.h"

namespace config {

namespace {

// Labels and their values, one pair a row.
QGroupBox* FactsBox(const char* title, std::initializer_list<std::pair<const char*, QString>> facts) {
    auto* box = new QGroupBox(title);
    auto* layout = new QGridLayout(box);
    int row = 0;
    for (const auto& [label, value] : facts) {
        layout->addWidget(new QLabel(label), row, 0, Qt::AlignTop);
        auto* shown = new QLabel(value);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(shown, row++, 1, Qt::AlignTop);
    }
    layout->setColumnStretch(1, 1);
    return box;
}

}  // namespace

CAboutBox::CAboutBox(SheetServices services, std::function<int(const std::string&)> opener)
    : SheetPage("About", std::move(services)), opener_(std::move(opener)) {
    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel;
    icon->setObjectName("icon");
    icon->setPixmap(ApplicationIcon().pixmap(48, 48));
    auto* title = new QLabel(QString("Kelvane Screen Saver %1").arg(platform::SuiteVersion()));
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title->setFont(bold);
    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    auto* names = new QVBoxLayout;
    names->addWidget(title);
    names->addWidget(new QLabel("Vessory software, a division of Tarvex"));
    heading->addLayout(names);
    heading->addStretch();
    layout->addLayout(heading, 0, 0, 2, 2);
    layout->addWidget(FactsBox("This Copy", {{"Version:", platform::SuiteVersion()},
                                             {"Licence:", "Proprietary: all rights reserved"},
                                             {"Home Page:", "www.vessory.example"}}),
                      2, 0);
    layout->addWidget(FactsBox("Developed by Vessory software",
                               {{"Mailing Address:", "Vessory software\n1 Harbour Road\nPortvale, PV 0001"},
                                {"E-Mail Address:", "support@vessory.example"},
                                {"Website Address:", "www.vessory.example"}}),
                      2, 1);
    auto* home = PushButton("Open the &Home Page", "1053");
    auto* ours = PushButton("For other great products,\nvisit our website!", "1054");
    layout->addWidget(home, 3, 0);
    layout->addWidget(ours, 3, 1);
    layout->setRowStretch(4, 1);
    QObject::connect(home, &QPushButton::clicked, this, [this] { LinkToYourWebsite(); });
    QObject::connect(ours, &QPushButton::clicked, this, [this] { VisitOurWebsite(); });
}

void CAboutBox::LinkToYourWebsite() {
    if (!opener_(kMakerSite))
        platform::MessageBox(nullptr, "Unable to lauch your Internet Browser.", kSheetMessageTitle, platform::MB_OK);
}

void CAboutBox::VisitOurWebsite() {
    if (!opener_(kMakerSite))
        platform::MessageBox(nullptr, "Unable to lauch your default browser.", kSheetMessageTitle, platform::MB_OK);
}

}  // namespace config
