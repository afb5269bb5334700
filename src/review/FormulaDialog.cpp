#include "review/FormulaDialog.h"

#include "recovery/MessageBoxes.h"

#include <QComboBox>
#include <QDir>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace ignivex::chart {

namespace {

enum ChannelColumn { Name, Formula, Unit, Decimals };
enum FilterColumn { FilterName, Condition, Settle };

QString cell(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text().trimmed() : QString();
}

// The formula with the character at `position` marked, for a label.
QString marked(const QString& text, int position) {
    if (position < 0)
        return text.left(200).toHtmlEscaped();
    const int from = std::max(0, position - 60);
    const QString before = text.mid(from, position - from).toHtmlEscaped();
    const QString at = position < text.size() ? text.mid(position, 1).toHtmlEscaped()
                                              : QStringLiteral("&nbsp;");
    const QString after = text.mid(position + 1, 60).toHtmlEscaped();
    return QStringLiteral("%1%2<span style=\"background:#f4b4b4; text-decoration:underline\">%3"
                          "</span>%4")
        .arg(from > 0 ? QStringLiteral("…") : QString(), before, at, after);
}

}  // namespace

FormulaDialog::FormulaDialog(MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), boxes_(boxes) {
    setObjectName(QStringLiteral("dlgFormulas"));
    setWindowTitle(QStringLiteral("Channels by Formula"));

    mapUnit_ = new QComboBox(this);
    mapUnit_->setObjectName(QStringLiteral("cboMapUnit"));
    mapUnit_->addItem(QStringLiteral("not named"), int(formula::MapUnit::Unnamed));
    for (auto u : {formula::MapUnit::Kpa, formula::MapUnit::Psi, formula::MapUnit::Bar,
                   formula::MapUnit::InHg})
        mapUnit_->addItem(formula::unitText(u), int(u));
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(new QLabel(QStringLiteral("The module's MAP is in:"), this));
    unitRow->addWidget(mapUnit_);
    unitRow->addStretch(1);

    auto makeTable = [this](const QStringList& headers, const QString& name) {
        auto* t = new QTableWidget(0, int(headers.size()), this);
        t->setObjectName(name);
        t->setHorizontalHeaderLabels(headers);
        t->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
        t->verticalHeader()->hide();
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        connect(t, &QTableWidget::itemChanged, this, [this] {
            if (!filling_)
                recheck();
        });
        connect(t, &QTableWidget::currentCellChanged, this, &FormulaDialog::showProblem);
        return t;
    };
    formulas_ = makeTable({QStringLiteral("Name"), QStringLiteral("Formula"),
                           QStringLiteral("Unit"), QStringLiteral("Decimals")},
                          QStringLiteral("tblFormulas"));
    filters_ = makeTable({QStringLiteral("Name"), QStringLiteral("Condition"),
                          QStringLiteral("Settle (s)")},
                         QStringLiteral("tblFilters"));
    tabs_ = new QTabWidget(this);
    tabs_->addTab(formulas_, QStringLiteral("&Channels"));
    tabs_->addTab(filters_, QStringLiteral("&Filters"));
    connect(tabs_, &QTabWidget::currentChanged, this, &FormulaDialog::showProblem);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("lblProblem"));
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::RichText);
    problem_->setMinimumHeight(fontMetrics().lineSpacing() * 3);

    auto* add = new QPushButton(QStringLiteral("&Add"), this);
    connect(add, &QPushButton::clicked, this, [this] {
        QTableWidget* t = tabs_->currentIndex() == 0 ? formulas_ : filters_;
        addRow(t, t == formulas_ ? QStringList{QString(), QString(), QString(), QStringLiteral("2")}
                                 : QStringList{QString(), QString(), QStringLiteral("0")});
        t->setCurrentCell(t->rowCount() - 1, 0);
        t->editItem(t->item(t->rowCount() - 1, 0));
    });
    auto* remove = new QPushButton(QStringLiteral("&Remove"), this);
    connect(remove, &QPushButton::clicked, this, [this] {
        QTableWidget* t = tabs_->currentIndex() == 0 ? formulas_ : filters_;
        if (t->currentRow() >= 0)
            t->removeRow(t->currentRow());
        recheck();
    });
    auto* examples = new QPushButton(QStringLiteral("E&xamples"), this);
    examples->setObjectName(QStringLiteral("btnExamples"));
    auto* menu = new QMenu(examples);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        menu->clear();
        const auto unit = formula::MapUnit(mapUnit_->currentData().toInt());
        if (unit == formula::MapUnit::Unnamed)
            menu->addAction(QStringLiteral("(MAP in other units: say which unit it is in first)"))
                ->setEnabled(false);
        for (const formula::Definition& d : formula::examples(unit)) {
            connect(menu->addAction(QStringLiteral("%1 = %2").arg(d.name, d.formula)),
                    &QAction::triggered, this, [this, d] {
                        tabs_->setCurrentIndex(0);
                        addRow(formulas_, {d.name, d.formula, d.unit, QString::number(d.decimals)});
                    });
        }
    });
    examples->setMenu(menu);
    auto* importButton = new QPushButton(QStringLiteral("&Import\u2026"), this);
    connect(importButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("Import Formulas"), {}, QStringLiteral("Formulas (*.json)"));
        if (!path.isEmpty())
            importFrom(path);
    });
    auto* exportButton = new QPushButton(QStringLiteral("E&xport\u2026"), this);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Export Formulas"), QStringLiteral("formulas.json"),
            QStringLiteral("Formulas (*.json)"));
        if (!path.isEmpty())
            exportTo(path);
    });
    auto* rowButtons = new QHBoxLayout;
    for (QPushButton* b : {add, remove, examples, importButton, exportButton})
        rowButtons->addWidget(b);
    rowButtons->addStretch(1);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &FormulaDialog::apply);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(unitRow);
    layout->addWidget(tabs_, 1);
    layout->addLayout(rowButtons);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    resize(760, 440);
}

void FormulaDialog::addRow(QTableWidget* t, const QStringList& cells) {
    const bool was = filling_;
    filling_ = true;
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
    filling_ = was;
    if (!filling_)
        recheck();
}

void FormulaDialog::setFormulas(const formula::Formulas& f, const record::Table& channels) {
    channels_ = channels;
    filling_ = true;
    mapUnit_->setCurrentIndex(std::max(0, mapUnit_->findData(int(f.mapUnit))));
    formulas_->setRowCount(0);
    filters_->setRowCount(0);
    for (const formula::Definition& d : f.channels)
        addRow(formulas_, {d.name, d.formula, d.unit, QString::number(d.decimals)});
    for (const formula::Filter& x : f.filters)
        addRow(filters_, {x.name, x.condition, QString::number(x.settleSeconds)});
    filling_ = false;
    recheck();
}

formula::Formulas FormulaDialog::formulas() const {
    formula::Formulas f;
    f.mapUnit = formula::MapUnit(mapUnit_->currentData().toInt());
    for (int r = 0; r < formulas_->rowCount(); ++r) {
        bool ok = false;
        const int decimals = cell(formulas_, r, Decimals).toInt(&ok);
        f.channels.push_back({cell(formulas_, r, Name), cell(formulas_, r, Formula),
                              cell(formulas_, r, Unit), ok ? decimals : -1});
    }
    for (int r = 0; r < filters_->rowCount(); ++r) {
        bool ok = false;
        const QString settle = cell(filters_, r, Settle);
        const double s = settle.isEmpty() ? 0 : settle.toDouble(&ok);
        f.filters.push_back({cell(filters_, r, FilterName), cell(filters_, r, Condition),
                             settle.isEmpty() || ok ? s : -1});
    }
    return f;
}

QStringList FormulaDialog::problems() const {
    return channelProblems_ + filterProblems_;
}

void FormulaDialog::recheck() {
    const formula::Formulas f = formulas();
    const auto found = formula::check(f.channels, channels_);
    channelProblems_.clear();
    channelPositions_.clear();
    QStringList names = formula::channelNames(channels_);
    for (std::size_t i = 0; i < found.size(); ++i) {
        channelProblems_ << (found[i] ? found[i]->message : QString());
        channelPositions_.push_back(found[i] ? found[i]->position : -1);
        if (!found[i])
            names << f.channels[i].name;
    }
    filterProblems_.clear();
    filterPositions_.clear();
    QStringList filterNames;
    for (const formula::Filter& x : f.filters) {
        formula::Problem p;
        QString message;
        if (x.name.isEmpty())
            message = QStringLiteral("A filter needs a name");
        else if (filterNames.contains(x.name))
            message = QStringLiteral("Two filters are named “%1”").arg(x.name);
        else if (!std::isfinite(x.settleSeconds) || x.settleSeconds < 0)
            message = QStringLiteral("The settle time is a number of seconds, 0 or more");
        else if (!formula::Formula::read(x.condition, names, &p))
            message = p.message;
        filterNames << x.name;
        filterProblems_ << message;
        filterPositions_.push_back(message.isEmpty() || message != p.message ? -1 : p.position);
    }
    const QColor bad(0xfb, 0xe3, 0xe3);
    auto paint = [&](QTableWidget* t, const QStringList& problems) {
        const bool was = filling_;
        filling_ = true;
        for (int r = 0; r < t->rowCount(); ++r) {
            for (int c = 0; c < t->columnCount(); ++c) {
                if (!t->item(r, c))
                    t->setItem(r, c, new QTableWidgetItem);
                t->item(r, c)->setBackground(problems.value(r).isEmpty() ? QBrush() : QBrush(bad));
                t->item(r, c)->setToolTip(problems.value(r));
            }
        }
        filling_ = was;
    };
    paint(formulas_, channelProblems_);
    paint(filters_, filterProblems_);
    showProblem();
}

void FormulaDialog::showProblem() {
    const bool channels = tabs_->currentIndex() == 0;
    QTableWidget* t = channels ? formulas_ : filters_;
    const QStringList& problems = channels ? channelProblems_ : filterProblems_;
    const std::vector<int>& positions = channels ? channelPositions_ : filterPositions_;
    int row = t->currentRow();
    // The row being edited, or else the first with a problem.
    if (row < 0 || problems.value(row).isEmpty()) {
        for (int r = 0; r < problems.size(); ++r) {
            if (!problems[r].isEmpty()) {
                row = r;
                break;
            }
        }
    }
    if (row < 0 || problems.value(row).isEmpty()) {
        problem_->setText(t->rowCount() == 0
                              ? QStringLiteral("No %1 yet: Add one, or take one of the Examples.")
                                    .arg(channels ? QStringLiteral("channels") : QStringLiteral("filters"))
                              : QStringLiteral("Every formula reads."));
        return;
    }
    const int at = positions[std::size_t(row)];
    const QString text = cell(t, row, channels ? int(Formula) : int(Condition));
    const QString where =
        at >= 0 ? QStringLiteral(" (at character %1)").arg(at + 1) : QString();
    problem_->setText(
        QStringLiteral("<b>%1</b>: <span style=\"color:#a01010\">%2%3.</span><br><tt>%4</tt>")
            .arg(cell(t, row, 0).toHtmlEscaped(), problems[row].toHtmlEscaped(), where,
                 at >= 0 ? marked(text, at) : QString()));
}

bool FormulaDialog::apply() {
    recheck();
    for (const QString& p : problems()) {
        if (!p.isEmpty()) {
            boxes_.show(QStringLiteral("%1. Mend it, or remove its row, and apply again.").arg(p),
                        box::OkOnly + box::Exclamation, windowTitle());
            return false;
        }
    }
    emit applied(formulas());
    return true;
}

void FormulaDialog::exportTo(const QString& path) {
    QString why;
    if (!formula::writeFormulasFile(path, formulas(), &why))
        boxes_.show(QStringLiteral("The formulas could not be written to %1: %2. Choose another "
                                   "folder or file.")
                        .arg(QDir::toNativeSeparators(path), why),
                    box::OkOnly + box::Exclamation, QStringLiteral("Export Formulas"));
}

void FormulaDialog::importFrom(const QString& path) {
    QString why;
    const auto read = formula::readFormulasFile(path, &why);
    if (!read) {
        boxes_.show(QStringLiteral("%1 holds no formulas this program reads: %2.")
                        .arg(QDir::toNativeSeparators(path), why),
                    box::OkOnly + box::Exclamation, QStringLiteral("Import Formulas"));
        return;
    }
    // Added to those here, so an import loses nothing; a clash is then shown as one.
    formula::Formulas f = formulas();
    f.channels.insert(f.channels.end(), read->channels.begin(), read->channels.end());
    f.filters.insert(f.filters.end(), read->filters.begin(), read->filters.end());
    if (f.mapUnit == formula::MapUnit::Unnamed)
        f.mapUnit = read->mapUnit;
    setFormulas(f, channels_);
}

}  // namespace ignivex::chart
