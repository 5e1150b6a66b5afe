#include "about_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "message_box.h"
#include "page_controls.h"

namespace config {

namespace {

// The three address lines of a business, under their labels.
QGroupBox* AddressBox(const char* title, const char* const (&postal)[3], const char* mail, const char* web) {
    auto* box = new QGroupBox(title);
    auto* layout = new QGridLayout(box);
    layout->addWidget(new QLabel("Mailing Address:"), 0, 0, Qt::AlignTop);
    layout->addWidget(new QLabel(QString("%1\n%2\n%3").arg(postal[0], postal[1], postal[2])), 0, 1);
    layout->addWidget(new QLabel("E-Mail Address:"), 1, 0);
    layout->addWidget(new QLabel(mail), 1, 1);
    layout->addWidget(new QLabel("Website Address:"), 2, 0);
    layout->addWidget(new QLabel(web), 2, 1);
    return box;
}

}  // namespace

CAboutBox::CAboutBox(SheetServices services, std::function<int(const std::string&)> opener)
    : SheetPage("About", std::move(services)), opener_(std::move(opener)) {
    auto* layout = new QGridLayout(this);
    auto* title = new QLabel(QString("Kelvane Screen Saver %1").arg(kProductVersion));
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title->setFont(bold);
    layout->addWidget(title, 0, 0, 1, 2);
    layout->addWidget(new QLabel("Vessory software, a division of Tarvex"), 1, 0, 1, 2);
    const char* const yourPostal[3] = {"P.O. Box 000", "City, State", "Country, Zip"};
    const char* const ourPostal[3] = {"Vessory software", "1 Harbour Road", "Portvale, PV 0001"};
    layout->addWidget(AddressBox("Your Company Information", yourPostal, "info@your-company.example",
                                 "www.your-company.example"),
                      2, 0);
    layout->addWidget(AddressBox("Developed by Vessory software", ourPostal, "support@vessory.example", "www.vessory.example"),
                      2, 1);
    auto* yours = PushButton("Link to your Website", "1053");
    auto* ours = PushButton("For other great products,\nvisit our website!", "1054");
    layout->addWidget(yours, 3, 0);
    layout->addWidget(ours, 3, 1);
    layout->setRowStretch(4, 1);
    QObject::connect(yours, &QPushButton::clicked, this, [this] { LinkToYourWebsite(); });
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
