#include "display/PortSetupPanel.h"

#include "link/PortMapper.h"
#include "base/Twips.h"

namespace ignivex {

void PortList::refreshToolTips() {
    for (int i = 0; i < count(); ++i)
        setItemData(i, port_mapper::describe(i + 1), Qt::ToolTipRole);
}

void PortList::showPopup() {
    refreshToolTips();
    QComboBox::showPopup();
}

PortSetupPanel::PortSetupPanel(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("fraPortSelect"));
    setTitle(QStringLiteral("Data Port Setup"));
    // An opaque panel: it lies over the real-time panel's tachometer.
    setAutoFillBackground(true);
    setGeometry(twipsRect(1320, 240, 2655, 1932));

    lblPort = new QLabel(QStringLiteral("Port"), this);
    lblPort->setObjectName(QStringLiteral("lblPort"));
    lblPort->setGeometry(twipsRect(360, 600, 612, 252));

    cboPort = new PortList(this);
    cboPort->setObjectName(QStringLiteral("cboPort"));
    cboPort->setEditable(false);
    cboPort->setGeometry(twipsRect(1080, 480, 1188, 336));
    cboPort->setMaxVisibleItems(16);
    lblPort->setBuddy(cboPort);

    cmdPortSelectOK = new QPushButton(QStringLiteral("OK"), this);
    cmdPortSelectOK->setObjectName(QStringLiteral("cmdPortSelectOK"));
    cmdPortSelectOK->setGeometry(twipsRect(960, 1200, 615, 375));
}

}  // namespace ignivex
