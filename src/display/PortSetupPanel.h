#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace ignivex {

// The port list: refreshes each entry's tooltip (the device it stands for and whether that is
// there now) every time the list drops down, since adapters come and go.
class PortList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void refreshToolTips();
    void showPopup() override;
};

// "Data Port Setup": the port list and its OK button, shown over the real-time panel.
class PortSetupPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit PortSetupPanel(QWidget* parent = nullptr);

    QLabel* lblPort;
    PortList* cboPort;
    QPushButton* cmdPortSelectOK;
};

}  // namespace ignivex
