#include "formula/Formula.h"

#include "base/MessageText.h"

#include <muParser.h>

#include <QHash>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ignivex::formula {

QString shown(const QString& word) {
    return readable(word, kShownWordLength);
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Times are compared with this much room: elapsed seconds are written to the millisecond, and
// 0.3 - 0.1 in doubles is a hair below 0.2.
constexpr double kTimeRoom = 1e-9;

// muParser's own functions and constants, asked of a parser once.
const mu::Parser& reference() {
    static const mu::Parser parser;
    return parser;
}

const char* nameOf(TimeFunction f) {
    switch (f) {
    case TimeFunction::Rate: return "rate";
    case TimeFunction::Smooth: return "smooth";
    case TimeFunction::Ago: return "ago";
    }
    return "";
}

std::optional<TimeFunction> timeFunctionNamed(const QString& name) {
    for (TimeFunction f : {TimeFunction::Rate, TimeFunction::Smooth, TimeFunction::Ago}) {
        if (name == QLatin1String(nameOf(f)))
            return f;
    }
    return std::nullopt;
}

QString usageOf(TimeFunction f) {
    return f == TimeFunction::Rate ? QStringLiteral("rate(rpm)")
                                   : QStringLiteral("%1(rpm, 0.5)").arg(QLatin1String(nameOf(f)));
}

bool isNameStart(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}
bool isNameChar(QChar c) {
    return isNameStart(c) || (c >= u'0' && c <= u'9');
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The formula's text turned into muParser's: each call over time becomes a name of its own
// ("_t0"), which no channel can have since a channel's name begins with a letter.
struct Prepared {
    std::string expression;
    std::vector<TimeCall> calls;
    QStringList reads;
    std::vector<bool> direct;  // a read of reads' name outside any call over time
    // Stretches of the expression that stand for other text of the user's.
    struct Replaced {
        int at, length, from, fromLength;
    };
    std::vector<Replaced> replaced;

    int original(int at) const {
        int shift = 0;
        for (const Replaced& r : replaced) {
            if (at < r.at)
                break;
            if (at < r.at + r.length)
                return r.from;
            shift = (r.from + r.fromLength) - (r.at + r.length);
        }
        return at + shift;
    }
};

class Scanner {
public:
    Scanner(const QString& text, const QStringList& channels) : text_(text), channels_(channels) {}

    std::optional<Prepared> run(Problem* problem) {
        int depth = 0;
        while (i_ < text_.size()) {
            const QChar c = text_[i_];
            if (c.unicode() > 126 || (c.unicode() < 32 && !c.isSpace()))
                return fail(problem, QStringLiteral("“%1” is not part of a formula").arg(shown(c)),
                            i_);
            if (c == u'"')
                return fail(problem, QStringLiteral("A formula holds no text in quotes"), i_);
            if (isDigit(c) || (c == u'.' && i_ + 1 < text_.size() && isDigit(text_[i_ + 1]))) {
                copy(number());
            } else if (isNameStart(c)) {
                if (!name(problem))
                    return std::nullopt;
            } else if (c == u'(' && ++depth > kDeepestNesting) {
                return fail(problem,
                            QStringLiteral("Brackets are nested more than %1 deep").arg(kDeepestNesting),
                            i_);
            } else if (c == u')') {
                --depth;
                copy(1);
            } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
                const bool pair = i_ + 1 < text_.size() && text_[i_ + 1] == u'=';
                if (c == u'=' && !pair)
                    return fail(problem,
                                QStringLiteral("“=” gives a channel a value, which a formula "
                                               "cannot: to compare, write “==”"),
                                i_);
                copy(pair ? 2 : 1);
            } else {
                copy(1);
            }
        }
        return std::move(out_);
    }

private:
    bool refuse(Problem* problem, const QString& message, int at) {
        if (problem)
            *problem = {message, at};
        return false;
    }
    std::nullopt_t fail(Problem* problem, const QString& message, int at) {
        refuse(problem, message, at);
        return std::nullopt;
    }

    void copy(int length) {
        out_.expression += text_.mid(i_, length).toStdString();
        i_ += length;
    }

    int number() const {
        int j = i_;
        while (j < text_.size() && (isDigit(text_[j]) || text_[j] == u'.'))
            ++j;
        if (j < text_.size() && (text_[j] == u'e' || text_[j] == u'E')) {
            int k = j + 1;
            if (k < text_.size() && (text_[k] == u'+' || text_[k] == u'-'))
                ++k;
            if (k < text_.size() && isDigit(text_[k])) {
                while (k < text_.size() && isDigit(text_[k]))
                    ++k;
                j = k;
            }
        }
        return j - i_;
    }

    void skipSpace(int& j) const {
        while (j < text_.size() && text_[j].isSpace())
            ++j;
    }

    QString nameAt(int& j) const {
        const int start = j;
        while (j < text_.size() && isNameChar(text_[j]))
            ++j;
        return text_.mid(start, j - start);
    }

    void noteRead(const QString& channel, bool direct) {
        const auto at = out_.reads.indexOf(channel);
        if (at < 0) {
            out_.reads << channel;
            out_.direct.push_back(direct);
        } else if (direct) {
            out_.direct[std::size_t(at)] = true;
        }
    }

    bool name(Problem* problem) {
        const int start = i_;
        int j = i_;
        const QString word = nameAt(j);
        int after = j;
        skipSpace(after);
        const bool called = after < text_.size() && text_[after] == u'(';
        if (const auto f = timeFunctionNamed(word)) {
            if (!called)
                return refuse(problem, QStringLiteral("%1 needs a channel's name in brackets: %2")
                                          .arg(word, usageOf(*f)),
                             start);
            return timeCall(*f, after + 1, problem);
        }
        if (called) {
            if (!isFunctionName(word))
                return refuse(problem, QStringLiteral("There is no function “%1”").arg(shown(word)),
                              start);
        } else if (channels_.contains(word)) {
            noteRead(word, true);
        } else if (isFunctionName(word)) {
            return refuse(
                problem, QStringLiteral("“%1” is a function: write %1(…)").arg(shown(word)), start);
        } else if (!isConstantName(word)) {
            return refuse(problem,
                          QStringLiteral("There is no channel “%1”; the channels are %2")
                              .arg(shown(word),
                                   readableList(channels_, QStringLiteral(", "), kShownListLength)),
                          start);
        }
        copy(j - start);
        return true;
    }

    bool timeCall(TimeFunction f, int j, Problem* problem) {
        const int start = i_;
        const QString usage = QStringLiteral("%1 takes a channel's name%2: %3")
                                  .arg(QLatin1String(nameOf(f)),
                                       f == TimeFunction::Rate ? QString()
                                                               : QStringLiteral(", then seconds"),
                                       usageOf(f));
        skipSpace(j);
        const int channelAt = j;
        TimeCall call{f, nameAt(j), 0};
        if (call.channel.isEmpty())
            return refuse(problem, usage, channelAt);
        if (!channels_.contains(call.channel))
            return refuse(problem,
                          QStringLiteral("There is no channel “%1”").arg(shown(call.channel)),
                          channelAt);
        skipSpace(j);
        if (f != TimeFunction::Rate) {
            if (j >= text_.size() || text_[j] != u',')
                return refuse(problem, usage, j);
            ++j;
            skipSpace(j);
            const int secondsAt = j;
            i_ = j;
            const int length = number();
            bool ok = length > 0;
            call.seconds = text_.mid(j, length).toDouble(&ok);
            const bool positive = f == TimeFunction::Smooth ? call.seconds > 0 : call.seconds >= 0;
            if (!ok || !positive || !std::isfinite(call.seconds) || call.seconds > 1e7)
                return refuse(problem,
                             QStringLiteral("%1's seconds are a number %2 10000000: %3")
                                 .arg(QLatin1String(nameOf(f)),
                                      f == TimeFunction::Smooth ? QStringLiteral("above 0 and up to")
                                                                : QStringLiteral("from 0 to"),
                                      usageOf(f)),
                             secondsAt);
            j += length;
            skipSpace(j);
        }
        if (j >= text_.size() || text_[j] != u')')
            return refuse(problem, usage, j);
        ++j;
        noteRead(call.channel, false);
        auto known = std::find(out_.calls.begin(), out_.calls.end(), call);
        const int index = int(known - out_.calls.begin());
        if (known == out_.calls.end())
            out_.calls.push_back(call);
        const std::string stand = "_t" + std::to_string(index);
        out_.replaced.push_back({int(out_.expression.size()), int(stand.size()), start, j - start});
        out_.expression += stand;
        i_ = j;
        return true;
    }

    const QString& text_;
    const QStringList& channels_;
    int i_ = 0;
    Prepared out_;
};

QString describe(const mu::Parser::exception_type& e) {
    const QString token = QString::fromStdString(e.GetToken());
    const QString expectValue =
        QStringLiteral("a value, a channel, a function or “(” was expected");
    const QString expectOperator = QStringLiteral("an operator, “,” or “)” was expected");
    switch (e.GetCode()) {
    case mu::ecUNEXPECTED_EOF:
        return QStringLiteral("The formula ends too soon: ") + expectValue;
    case mu::ecUNEXPECTED_OPERATOR:
    case mu::ecUNEXPECTED_ARG_SEP:
        return QStringLiteral("“%1” comes too soon: ").arg(shown(token)) + expectValue;
    case mu::ecUNEXPECTED_VAL:
    case mu::ecUNEXPECTED_VAR:
    case mu::ecUNEXPECTED_FUN:
    case mu::ecUNEXPECTED_ARG:
        return QStringLiteral("“%1” follows a value: ").arg(shown(token)) + expectOperator;
    case mu::ecUNEXPECTED_PARENS:
        return token == u"("
                   ? QStringLiteral("“(” follows a value: ") + expectOperator
                   : QStringLiteral("“%1” comes too soon: ").arg(shown(token)) + expectValue;
    case mu::ecMISSING_PARENS:
        return QStringLiteral("A bracket is not closed: “)” was expected");
    case mu::ecTOO_MANY_PARAMS:
        return QStringLiteral("Too many values for %1").arg(shown(token));
    case mu::ecTOO_FEW_PARAMS:
        return QStringLiteral("Too few values for %1").arg(shown(token));
    case mu::ecUNEXPECTED_CONDITIONAL:
    case mu::ecMISPLACED_COLON:
        return QStringLiteral("“%1” is out of place: a choice is written c ? a : b")
            .arg(shown(token));
    case mu::ecMISSING_ELSE_CLAUSE:
        return QStringLiteral("“?” has no “:”: a choice is written c ? a : b");
    case mu::ecEMPTY_EXPRESSION:
        return QStringLiteral("The formula is empty");
    case mu::ecUNASSIGNABLE_TOKEN:
        return QStringLiteral("“%1” is not part of a formula").arg(shown(token));
    default:
        return readable(QString::fromStdString(e.GetMsg()), kShownListLength);
    }
}

}  // namespace

struct Formula::Parts {
    mu::Parser parser;
    Prepared prepared;
    // What muParser reads: the channels named, then the calls over time, one value each.
    std::vector<double> probe;

    // Each input at its place in `base`.
    void defineInputs(double* base) {
        const auto named = std::size_t(prepared.reads.size());
        for (std::size_t i = 0; i < named + prepared.calls.size(); ++i) {
            const std::string name = i < named ? prepared.reads[qsizetype(i)].toStdString()
                                               : "_t" + std::to_string(i - named);
            parser.DefineVar(name, base + i);
        }
    }
};

Formula::Formula(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
Formula::Formula(Formula&&) noexcept = default;
Formula& Formula::operator=(Formula&&) noexcept = default;
Formula::~Formula() = default;

const QStringList& Formula::reads() const {
    return parts_->prepared.reads;
}

const std::vector<TimeCall>& Formula::calls() const {
    return parts_->prepared.calls;
}

std::optional<Formula> Formula::read(const QString& text, const QStringList& channels,
                                     Problem* problem) {
    if (text.size() > kMostCharacters) {
        if (problem)
            *problem = {QStringLiteral("A formula is at most %1 characters long; this one is %2")
                            .arg(kMostCharacters)
                            .arg(text.size()),
                        -1};
        return std::nullopt;
    }
    std::optional<Prepared> prepared = Scanner(text, channels).run(problem);
    if (!prepared)
        return std::nullopt;
    auto parts = std::make_unique<Parts>();
    parts->prepared = std::move(*prepared);
    const Prepared& p = parts->prepared;
    parts->probe.assign(std::size_t(p.reads.size()) + p.calls.size(), 0.0);
    try {
        parts->defineInputs(parts->probe.data());
        parts->parser.SetExpr(p.expression);
        parts->parser.Eval();
        if (parts->parser.GetNumResults() != 1) {
            const auto comma = QString::fromStdString(p.expression).indexOf(u',');
            if (problem)
                *problem = {QStringLiteral("A formula gives one value: “,” separates the values "
                                           "of a function only"),
                            p.original(int(comma))};
            return std::nullopt;
        }
    } catch (const mu::Parser::exception_type& e) {
        if (problem)
            *problem = {describe(e),
                        e.GetPos() < 0 ? -1 : std::min(p.original(e.GetPos()), int(text.size()))};
        return std::nullopt;
    }
    return Formula(std::move(parts));
}

std::vector<double> Formula::evaluate(const Inputs& inputs) const {
    const Prepared& p = parts_->prepared;
    const std::size_t rows = inputs.rows;
    std::vector<std::vector<double>> timed;
    timed.reserve(p.calls.size());
    for (const TimeCall& call : p.calls) {
        const auto at = p.reads.indexOf(call.channel);
        timed.push_back(overTime(call, rows, inputs.elapsed, inputs.channels[std::size_t(at)]));
    }
    // Row by row into the values muParser was given at reading: its bulk evaluation runs on
    // OpenMP threads, which on a busy machine wait on each other for longer than the work
    // takes, and spin while they wait.
    std::vector<double> out(rows, kNaN);
    double* slot = parts_->probe.data();
    const std::size_t named = inputs.channels.size();
    for (std::size_t r = 0; r < rows; ++r) {
        bool empty = false;
        for (std::size_t s = 0; s < named; ++s) {
            slot[s] = inputs.channels[s].at(r);
            // A channel read only through a call over time is not itself this row's input.
            empty = empty || (p.direct[s] && std::isnan(slot[s]));
        }
        for (std::size_t c = 0; c < timed.size(); ++c) {
            slot[named + c] = timed[c][r];
            empty = empty || std::isnan(slot[named + c]);
        }
        if (empty)
            continue;
        // A channel's column is of floats: a value past their range would be stored as an
        // infinity, which no file can hold, so it is left empty like any other non-finite one.
        const double v = parts_->parser.Eval();
        if (std::isfinite(v) && std::abs(v) <= std::numeric_limits<float>::max())
            out[r] = v;
    }
    return out;
}

std::vector<double> overTime(const TimeCall& call, std::size_t rows, const Column& elapsed,
                             const Column& values) {
    std::vector<double> out(rows, kNaN);
    switch (call.function) {
    case TimeFunction::Rate:
        for (std::size_t i = 1; i < rows; ++i) {
            const double dt = elapsed.at(i) - elapsed.at(i - 1);
            if (dt > 0)
                out[i] = (values.at(i) - values.at(i - 1)) / dt;
        }
        break;
    case TimeFunction::Smooth: {
        // A window that slides: rows enter at its top and leave at its bottom once they are
        // S or more behind. Summed in units of the last decimal, whole numbers, so adding and
        // taking away leaves no drift while the sum stays below 2^53; a long double past that.
        long double sum = 0;
        std::size_t present = 0, oldest = 0;
        const double timeScale = elapsed.scale();
        const double window = call.seconds * timeScale - kTimeRoom * timeScale;
        for (std::size_t i = 0; i < rows; ++i) {
            const double v = values.units(i);
            if (!std::isnan(v)) {
                sum += v;
                ++present;
            }
            const double bottom = elapsed.units(i) - window;
            for (; oldest <= i && elapsed.units(oldest) <= bottom; ++oldest) {
                const double gone = values.units(oldest);
                if (!std::isnan(gone)) {
                    sum -= gone;
                    --present;
                }
            }
            if (present > 0)
                out[i] = double(sum / present) / values.scale();
        }
        break;
    }
    case TimeFunction::Ago: {
        std::size_t next = 0;  // the first row not yet S behind row i
        for (std::size_t i = 0; i < rows; ++i) {
            const double bottom = elapsed.at(i) - call.seconds + kTimeRoom;
            while (next < rows && elapsed.at(next) <= bottom)
                ++next;
            if (next > 0)
                out[i] = values.at(next - 1);
        }
        break;
    }
    }
    return out;
}

bool isFunctionName(const QString& name) {
    if (timeFunctionNamed(name))
        return true;
    const auto& functions = reference().GetFunDef();
    return functions.find(name.toStdString()) != functions.end();
}

bool isConstantName(const QString& name) {
    const auto& constants = reference().GetConst();
    return constants.find(name.toStdString()) != constants.end();
}

}  // namespace ignivex::formula
