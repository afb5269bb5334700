// What the Windows driver's reports become as OnComm events: each fault flag alone, faults that
// come together, flags that are not faults, and the modem lines' edges (a device without modem
// lines says nothing). The flags are written as Win32 defines them, not through our names.
#include "link/LineEvents.h"
#include "link/SerialControl.h"

#include <QtTest>

using namespace ignivex;
using Events = std::vector<int>;
Q_DECLARE_METATYPE(Events)
Q_DECLARE_METATYPE(std::optional<std::uint32_t>)

class TestLineEvents : public QObject {
    Q_OBJECT
private slots:
    void fromDriver_data();
    void fromDriver();
};

void TestLineEvents::fromDriver_data() {
    using Modem = std::optional<std::uint32_t>;
    QTest::addColumn<uint>("errors");
    QTest::addColumn<Modem>("before");
    QTest::addColumn<Modem>("now");
    QTest::addColumn<Events>("expected");
    const Modem none;
    QTest::newRow("nothing") << 0u << none << none << Events{};
    QTest::newRow("CE_FRAME") << 0x0008u << none << none << Events{1004};
    QTest::newRow("CE_OVERRUN") << 0x0002u << none << none << Events{1006};
    QTest::newRow("CE_RXOVER") << 0x0001u << none << none << Events{1008};
    QTest::newRow("CE_RXPARITY") << 0x0004u << none << none << Events{1009};
    QTest::newRow("CE_BREAK") << 0x0010u << none << none << Events{1001};
    QTest::newRow("break with its framing error") << 0x0018u << none << none << Events{1001, 1004};
    QTest::newRow("all five at once")
        << 0x001Fu << none << none << Events{1001, 1004, 1006, 1008, 1009};
    QTest::newRow("CE_TXFULL and CE_MODE are not line faults")
        << 0x8100u << none << none << Events{};
    QTest::newRow("no modem lines (a pseudo-terminal)") << 0u << none << Modem(0x10u) << Events{};
    QTest::newRow("lines unchanged") << 0u << Modem(0xB0u) << Modem(0xB0u) << Events{};
    QTest::newRow("CTS rises") << 0u << Modem(0u) << Modem(0x10u) << Events{3};
    QTest::newRow("CTS falls") << 0u << Modem(0x10u) << Modem(0u) << Events{3};
    QTest::newRow("DSR falls") << 0u << Modem(0x20u) << Modem(0u) << Events{4};
    QTest::newRow("carrier rises") << 0u << Modem(0u) << Modem(0x80u) << Events{5};
    QTest::newRow("ring starts") << 0u << Modem(0u) << Modem(0x40u) << Events{6};
    QTest::newRow("ring ends: no event") << 0u << Modem(0x40u) << Modem(0u) << Events{};
    QTest::newRow("fault first, then the lines")
        << 0x0004u << Modem(0x30u) << Modem(0xC0u) << Events{1009, 3, 4, 5, 6};
}

void TestLineEvents::fromDriver() {
    QFETCH(uint, errors);
    QFETCH(std::optional<std::uint32_t>, before);
    QFETCH(std::optional<std::uint32_t>, now);
    QFETCH(Events, expected);
    QCOMPARE(line_events::fromDriver(errors, before, now), expected);
}

QTEST_APPLESS_MAIN(TestLineEvents)
#include "tst_line_events.moc"
