// The real message boxes: buttons in the order of their set with the first as default, Esc
// refused where the set has no Cancel, and every box standing over the window it belongs to.
#include "app/QtMessageBoxes.h"
#include "app/frmMain.h"
#include "recovery/CommError.h"
#include "support/FakeClock.h"
#include "support/FakeSerialControl.h"
#include "support/IsolatedConfig.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPainter>
#include <QtTest>
#include <algorithm>

using namespace ignivex;
using namespace ignivex::test;

namespace {

// Runs `act` on the box once it is up (inside its modal loop).
void whenShown(std::function<void(QMessageBox*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(box);
    });
    poll->start();
}

QStringList captionsLeftToRight(QMessageBox* box) {
    QList<QAbstractButton*> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    QStringList captions;
    for (auto* b : buttons)
        captions << b->text();
    return captions;
}

}  // namespace

class TestMessageBoxes : public QObject {
    Q_OBJECT
private slots:
    void buttonsAndDefault_data();
    void buttonsAndDefault();
    void escapeAnswersOnlyWhereThereIsCancel_data();
    void escapeAnswersOnlyWhereThereIsCancel();
    void standsOverTheMainWindow();
};

void TestMessageBoxes::buttonsAndDefault_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<int>("enterAnswers");
    QTest::newRow("Abort/Retry/Ignore, stop")
        << 18 << QStringList{"&Abort", "&Retry", "&Ignore"} << 3;
    QTest::newRow("Retry/Cancel, stop") << 21 << QStringList{"&Retry", "Cancel"} << 4;
    QTest::newRow("OK, exclamation") << 48 << QStringList{"OK"} << 1;
    QTest::newRow("OK, information") << 64 << QStringList{"OK"} << 1;
}

void TestMessageBoxes::buttonsAndDefault() {
    QFETCH(int, style);
    QFETCH(QStringList, captions);
    QFETCH(int, enterAnswers);
    QtMessageBoxes boxes;
    QStringList seen;
    whenShown([&](QMessageBox* box) {
        seen = captionsLeftToRight(box);
        QTest::keyClick(box, Qt::Key_Return);
    });
    QCOMPARE(boxes.show(QStringLiteral("text"), style, QStringLiteral("title")), enterAnswers);
    QCOMPARE(seen, captions);
}

void TestMessageBoxes::escapeAnswersOnlyWhereThereIsCancel_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("escapeCloses");
    QTest::addColumn<int>("answer");  // Esc's answer, or the last button's after Esc was refused
    QTest::newRow("Abort/Retry/Ignore: refused") << 18 << false << 5;
    QTest::newRow("Retry/Cancel: Cancel") << 21 << true << 2;
    QTest::newRow("OK: OK") << 64 << true << 1;
}

void TestMessageBoxes::escapeAnswersOnlyWhereThereIsCancel() {
    QFETCH(int, style);
    QFETCH(bool, escapeCloses);
    QFETCH(int, answer);
    QtMessageBoxes boxes;
    bool stillUp = false;
    whenShown([&](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        stillUp = box->isVisible();
        if (stillUp)
            box->buttons().constLast()->click();
    });
    QCOMPARE(boxes.show(QStringLiteral("text"), style, QStringLiteral("title")), answer);
    QCOMPARE(stillUp, !escapeCloses);
}

void TestMessageBoxes::standsOverTheMainWindow() {
    IsolatedConfig config;
    FakeClock clock;
    FakeSerialControl port{clock};
    Module1 state;
    QtMessageBoxes boxes;
    frmMain window({port, clock, boxes, state, [] {}, QCoreApplication::applicationDirPath()});
    window.move(0, 0);
    boxes.setOwner(&window);
    window.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Another window of the program has the focus, away in a corner of the screen.
    QWidget other;
    other.setGeometry(620, 450, 150, 120);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));

    QRect boxArea;
    QImage picture;
    whenShown([&](QMessageBox* box) {
        boxArea = box->frameGeometry();
        // The two windows as the user sees them: the box where it stands over the window.
        picture = window.grab().toImage();
        QPainter p(&picture);
        const QPoint at = box->geometry().topLeft() - window.geometry().topLeft();
        p.drawPixmap(at, box->grab());
        p.setPen(QColor(60, 60, 60));
        p.drawRect(QRect(at, box->size()).adjusted(-1, -1, 0, 0));
        box->buttons().constFirst()->click();
    });
    boxes.show(QString::fromLatin1(kTimeoutText), 18, QStringLiteral("Error"));
    QVERIFY2(window.frameGeometry().contains(boxArea.center()),
             qPrintable(QStringLiteral("box at %1,%2").arg(boxArea.x()).arg(boxArea.y())));

    const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(picture.save(dir + QStringLiteral("/error-box-over-main-window.png")));
}

QTEST_MAIN(TestMessageBoxes)
#include "tst_message_boxes.moc"
