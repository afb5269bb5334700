#pragma once

#include <QWidget>

namespace ignivex {

// What the panel shows while a recording runs, in its empty lower-right corner: a red "REC",
// the time since the start, the samples written and the rate achieved. Hidden otherwise.
class RecordingIndicator : public QWidget {
    Q_OBJECT
public:
    explicit RecordingIndicator(QWidget* parent = nullptr);

    void setFigures(double elapsedS, qint64 samples, double ratePerS);
    // Armed: waiting for `condition` to start a recording of itself ("ARMED" in place of
    // "REC"); empty: recording.
    void setArmed(const QString& condition);
    bool armed() const { return !armed_.isEmpty(); }
    // Shown next to the figures when the file fell behind and rows were lost.
    void setWarning(const QString& text);
    const QString& warning() const { return warning_; }

    double elapsed() const { return elapsed_; }
    qint64 samples() const { return samples_; }
    double rate() const { return rate_; }
    // "REC 01:02:03  4567 samples  80.2/s" ("ARMED rpm > 3000  2 so far" while armed), for
    // screen readers and tests.
    QString text() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double elapsed_ = 0;
    qint64 samples_ = 0;
    double rate_ = 0;
    QString warning_;
    QString armed_;
};

}  // namespace ignivex
