#pragma once

#include "dashboard/AlarmStrip.h"
#include "dashboard/TileWidget.h"
#include "formula/FormulaStore.h"
#include "record/ChannelInfo.h"
#include "tiles/TileLayout.h"

#include <QMap>
#include <QTimer>
#include <QWidget>
#include <map>

class QLabel;
class QPushButton;

namespace ignivex {
class Acquisition;
}

namespace ignivex::chart {
class LiveSeries;
}

namespace ignivex::dash {

class TileGrid;

// What a recording that starts itself is doing; Off while none is set up.
enum class TriggerState { Off, Armed, Recording, Stopped };

// View, Dashboard: the live values as tiles over the whole screen, from the same samples as
// the panel and the live chart (the channels by formula too), in pages switched by PgUp and
// PgDn, the number keys, the arrows or a swipe. The recording's state and time stand at the
// top; Record, Mark, Stop and Night are large enough for a finger. Alarms are told to it from
// outside (showAlarm): their tiles and the band at the top flash while they fire.
class DashboardWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFlashMs = 500;

    DashboardWindow(chart::LiveSeries& series, Acquisition& acquisition,
                    QWidget* parent = nullptr);

    // A sample has joined the series: the tiles show it.
    void noteSample();
    // The channels by formula kept in the settings, read again (when shown or made active).
    void readFormulas();

    void showPage(int page);
    int page() const { return page_; }
    const tiles::TileLayout& arrangement() const { return layout_; }
    // An edit of the arrangement, kept in the settings and shown.
    void setArrangement(const tiles::TileLayout& layout);
    const std::vector<TileWidget*>& tiles() const { return shown_; }

    void setNight(bool night);
    bool night() const { return night_; }

    // The recording's state and how long it has run.
    void setRecording(bool recording, double elapsedSeconds = 0);
    void setTriggerState(TriggerState state);
    // An alarm, by an id of its own, on a channel (a column name), firing or cleared.
    void showAlarm(int id, const QString& channel, const QString& text, bool firing);
    QStringList firingAlarms() const;

    QString recordingText() const;
    QString triggerText() const;
    // What could not be read or shown (kept tiles, channels by formula); empty when all is well.
    QString problems() const;
    // The channels a tile can show: the module's, then the channels by formula.
    const std::vector<record::ChannelInfo>& channels() const { return channels_; }

    QSize sizeHint() const override { return {800, 480}; }

signals:
    void recordClicked();
    void markClicked();
    void stopClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildPage();
    void refreshValues();
    void refreshAlarms();
    void applyColours();
    void flash();
    TileFace faceOf(const tiles::Tile& tile) const;
    const record::ChannelInfo* channelNamed(const QString& column) const;

    chart::LiveSeries& series_;
    Acquisition& acquisition_;
    tiles::TileLayout layout_;
    QStringList layoutProblems_;
    QStringList channelProblems_;
    std::optional<formula::Formulas> kept_;
    std::vector<record::ChannelInfo> channels_;
    int page_ = 0;
    std::vector<TileWidget*> shown_;
    bool anyComputed_ = false;  // a tile on the page shows a channel by formula

    QLabel* pageLabel_;
    QLabel* recordingLabel_;
    QLabel* triggerLabel_;
    QLabel* noteLabel_;
    AlarmStrip* alarmStrip_;
    TileGrid* grid_;
    QPushButton* record_;
    QPushButton* mark_;
    QPushButton* stop_;
    QPushButton* nightButton_;
    QPushButton* tilesButton_;
    QPushButton* fullButton_;

    bool night_ = false;
    bool recording_ = false;
    double elapsed_ = 0;
    TriggerState trigger_ = TriggerState::Off;
    struct Alarm {
        QString channel;
        QString text;
        bool firing = false;
    };
    std::map<int, Alarm> alarms_;
    QTimer flash_;
    bool flashOn_ = true;
};

}  // namespace ignivex::dash
