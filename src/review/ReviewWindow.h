#pragma once

#include "series/RecordingLoader.h"
#include "series/ReviewState.h"
#include "strips/StripChart.h"
#include "base/Clock.h"

#include <QMainWindow>
#include <QTimer>

class QAction;
class QActionGroup;
class QComboBox;
class QDockWidget;
class QLabel;
class QProgressBar;
class QAbstractItemModel;
class QListView;
class QTreeWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class MarkListModel;
class OverlaysPanel;
class PanelReplay;
class StatisticsPanel;

// File, Open Recording...: a recording in strips over its whole length, with zoom and pan, a
// cursor that reads out every value, its details, and play at x1, x4 or x16, which lets the
// recording drive the real-time panel from the first Play until the window closes.
class ReviewWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kFrameMs = 33;
    static constexpr double kMinSpan = ReviewState::kMinSpan;
    static inline const QString kOpenTitle = QStringLiteral("Open Recording");

    ReviewWindow(PanelReplay& replay, MessageBoxes& boxes, Clock& clock, QWidget* parent = nullptr);

    // Asks for a recording in the folder used last; empty when the user cancels.
    static QString askRecording(QWidget* parent);

    // Reads the file in the background and shows it; a failure is said in a box.
    void openFile(const QString& path);
    bool loading() const { return loader_.running(); }
    const LoadedRecording* recording() const { return state_.recording().get(); }
    // What the window shows; the strips, the statistics, the replay and the tools follow it.
    ReviewState& state() { return state_; }
    const ReviewState& state() const { return state_; }
    StripChart* chart() const { return chart_; }
    // A channel with a value a row of the recording shown (a channel computed from others),
    // after its channels; the view, cursors and overlay stay as they are.
    void addChannel(record::ChannelInfo channel, std::vector<float> values);
    // The View menu, ending in a separator: the review's tool windows add their items there.
    QMenu* viewMenu() const { return viewMenu_; }
    // The File menu; items added before its last two (a separator and Close) stand above Close.
    QMenu* fileMenu() const { return fileMenu_; }

    double cursor() const { return state_.cursor(); }
    // Moves the cursor (kept within the recording); the panel follows while replaying.
    void setCursor(double t);
    void stepRows(int rows);
    // The second cursor (B): the statistics are taken between the two; without it, over the
    // view.
    void setCursorB(std::optional<double> t);
    std::optional<double> cursorB() const { return state_.cursorB(); }
    StatisticsPanel* statistics() const { return statistics_; }
    // The recording's marks as listed ("0:12.500  pull 1"), made as they are shown.
    QAbstractItemModel* markList() const;
    // Moves the cursor to the mark at `index` of the list.
    void goToMark(int index);
    // Brings the statistics up to date now (they follow the cursors and the view a moment later).
    void refreshStatistics();
    // The span the statistics and File, Export Section cover: between the cursors, or the view.
    std::pair<double, double> statisticsSpan() const;
    // The view as File, Export Picture... writes it: titled with the file, the day and the
    // span, and with an overlay a legend naming both files.
    ChartScene pictureScene() const;
    // Writes that span as a recording of its own, asking for the file.
    void exportSection();
    // Writes the recording, the view or the span between the cursors as a workbook for a
    // spreadsheet, asking which and where; a progress dialog can cancel it.
    void exportWorkbook();

    void play();
    void pause();
    bool playing() const { return state_.playing(); }
    void setSpeed(int speed);
    int speed() const { return state_.speed(); }
    // Moves the playing cursor on by the time passed since the last frame, times the speed.
    void playFrame();

    void setView(double t0, double t1);
    void zoom(double factor, double anchor);
    void zoomAll();

    QString positionText(int decimals) const;

    // Another recording over the first, for comparison, aligned at the starts; up to three.
    // It becomes the current overlay, the one the shift, align and close commands act on.
    void openOverlay(const QString& path);
    bool overlayLoading() const { return overlayLoader_.running(); }
    const LoadedRecording* overlay() const {
        return state_.overlay(state_.currentOverlay()).get();
    }
    double overlayShift() const { return state_.overlayShift(state_.currentOverlay()); }
    // Moves the current overlay so its time `t` stands at the recording's time `at`.
    void alignOverlay(double overlayTime, double at);
    void setOverlayShift(double shift);
    // Closes the current overlay; closeOverlays closes them all.
    void closeOverlay();
    void closeOverlays();

signals:
    // The overlay asked for could not be read, or there are as many as can be; the user has
    // been told why.
    void overlayFailed(const QString& message);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static constexpr int kSpeeds[] = {1, 4, 16};

    void buildMenus();
    // View, Align Overlay at a Mark...: a mark of each recording, asked for, put at one time.
    void alignOverlayAtMark();
    void buildLoadBar();
    void showRecording();
    void showDetails();
    // MAP's label: the range the recording names, in the unit the user says it is in.
    void showMapLabel();
    void loadEnded();
    // The panel and the position follow the cursor.
    void cursorMoved();
    void playingChanged(bool playing);
    void updateState();

    PanelReplay& replay_;
    MessageBoxes& boxes_;
    Clock& clock_;
    RecordingLoader loader_;
    RecordingLoader overlayLoader_;
    ReviewState state_;
    QString loadingPath_;
    StripChart* chart_;
    QLabel* note_;
    QWidget* loadBar_;
    QLabel* loadLabel_;
    QProgressBar* progress_;
    QDockWidget* detailsDock_;
    QTreeWidget* details_;
    QDockWidget* statisticsDock_;
    QDockWidget* marksDock_;
    QDockWidget* overlaysDock_;
    OverlaysPanel* overlays_;
    QListView* marks_;
    MarkListModel* markModel_;
    StatisticsPanel* statistics_;
    QAction* playAction_;
    QMenu* viewMenu_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QActionGroup* speedActions_;
    QComboBox* speedBox_;
    QLabel* position_;
    QTimer frames_;
    Instant lastFrame_{};
    std::size_t shownRow_ = std::size_t(-1);
};

}  // namespace ignivex::chart
