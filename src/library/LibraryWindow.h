#pragma once

#include "catalog/LibraryAdder.h"
#include "catalog/RunStore.h"

#include <QMainWindow>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::library {

class AcrossRuns;
class RunListModel;
class TeamPublishing;

// File, Library...: the runs the library knows, found as the user types (file, tags, note,
// firmware), filtered by day and length, sorted by any column; opened in the review, overlaid
// there, tagged, noted, taken out of the library (the file stays), published with their rows
// to a team's library on a PostgreSQL server, and the map table, the
// histogram and the statistics over a choice of runs or a tag as one recording. Adding a folder
// reads its recordings in a thread, with a progress bar and Cancel.
class LibraryWindow : public QMainWindow {
    Q_OBJECT
public:
    // How many runs the review overlays on the one opened.
    static constexpr int kMostShown = 4;
    // The text asked for a tag or a note; nothing when the user cancels. Tests answer it.
    using AskText = std::function<std::optional<QString>(const QString& title,
                                                         const QString& label,
                                                         const QString& text)>;

    // `store` is the library, or null when it could not be opened (`problem` says why).
    LibraryWindow(catalog::RunStore* store, const QString& problem, MessageBoxes& boxes,
                  QWidget* parent = nullptr);
    ~LibraryWindow() override;

    void setAskText(AskText ask) { ask_ = std::move(ask); }

    // Lists the runs again as the search and the filters ask.
    void refresh();
    // Reads the files and folders for the library in a thread; the list follows.
    void addPaths(const QStringList& paths);
    bool adding() const { return adder_.running(); }
    void cancelAdding();

    // The chosen runs, in the list's order.
    QList<catalog::RunEntry> selectedRuns() const;
    void selectRows(const QList<int>& rows);
    void openSelected();
    void overlaySelected();
    void tagSelected();
    void noteSelected();
    void removeSelected();
    // The map table, histogram or statistics over the chosen runs, or over a tag's when the
    // tag filter names one and nothing is chosen.
    void showAcross(int tool);
    // Sends the runs with their rows to a team library, asking its address, in a thread.
    void publish(const QList<catalog::RunEntry>& runs);
    bool publishing() const;
    // What the last publishing told the user.
    const QString& publishedReport() const { return published_; }
    // The map table of the chosen runs less that of the runs of `tag`.
    void compareWithTag(const QString& tag);

    QLineEdit* searchBox() const { return search_; }
    QTableView* table() const { return view_; }
    RunListModel* model() const { return model_; }
    QComboBox* tagFilter() const { return tag_; }
    QProgressBar* progressBar() const { return progress_; }
    AcrossRuns* across() const { return across_; }
    // What the last add did: one line a file, "added: run1.csv" and the like.
    const QStringList& addReport() const { return report_; }

signals:
    void openRequested(const QString& path);
    // The first run to open and the others to lay over it.
    void overlayRequested(const QStringList& paths);
    void addingFinished();
    void publishingFinished();

private:
    void buildFilters(QWidget* top);
    void buildActions();
    void fillTags();
    void indexed(const catalog::IndexedFile& file);
    void addingEnded(bool cancelled);
    void tell(const QString& text);
    // The chosen runs whose files are where the library found them; the others are named.
    QStringList presentPaths(const QList<catalog::RunEntry>& runs);

    catalog::RunStore* store_;
    MessageBoxes& boxes_;
    AskText ask_;
    catalog::LibraryAdder adder_;
    RunListModel* model_;
    QSortFilterProxyModel* sorted_;
    QTableView* view_;
    QLineEdit* search_;
    QComboBox* tag_;
    QCheckBox* fromOn_;
    QDateEdit* from_;
    QCheckBox* toOn_;
    QDateEdit* to_;
    QDoubleSpinBox* minMinutes_;
    QDoubleSpinBox* maxMinutes_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    QLabel* status_;
    AcrossRuns* across_;
    TeamPublishing* publishing_;
    QString published_;
    QStringList report_;
    int added_ = 0, known_ = 0, skipped_ = 0;
};

}  // namespace ignivex::library
