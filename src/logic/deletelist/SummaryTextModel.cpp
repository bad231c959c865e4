#include "deletelist/SummaryTextModel.h"

#include <algorithm>

namespace Delete1 {

namespace {

const QString LineBreak = QStringLiteral("\r\n");

// Appends the part of piece that lies in [from, to), piece starting at offset base.
void appendOverlap(QString& out, const QString& piece, qsizetype base, qsizetype from,
                   qsizetype to) {
    const qsizetype start = std::max(from, base);
    const qsizetype end = std::min(to, base + piece.size());
    if (start < end)
        out.append(QStringView(piece).mid(start - base, end - start));
}

} // namespace

// What both forms share: where each line starts, the size, the longest line. Each form answers
// the readings that depend on how the text is held.
class SummaryTextModel::Storage {
public:
    Storage() = default;
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;
    virtual ~Storage() = default;

    virtual bool sharesLines() const = 0;
    virtual const QString& text() const = 0;
    virtual qsizetype lineLength(qsizetype line) const = 0;
    virtual QString lineText(qsizetype line) const = 0;
    // from and to are already clamped to the text.
    virtual QString range(qsizetype from, qsizetype to) const = 0;

    qsizetype lineCount() const { return static_cast<qsizetype>(m_starts.size()); }
    qsizetype lineStart(qsizetype line) const { return m_starts[static_cast<std::size_t>(line)]; }
    qsizetype lineOf(qsizetype offset) const {
        const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
        return std::max<qsizetype>(0, (it - m_starts.begin()) - 1);
    }

    std::vector<qsizetype> m_starts{0};
    qsizetype m_size = 0;
    qsizetype m_longest = 0;
};

namespace {

// A text of its own, indexed at its line breaks.
class OwnText final : public SummaryTextModel::Storage {
public:
    explicit OwnText(const QString& text) : m_text(text) {
        // One pass: a line ends at CR LF, LF or a lone CR.
        m_size = text.size();
        const auto* chars = reinterpret_cast<const char16_t*>(m_text.utf16());
        qsizetype longestLength = 0;
        qsizetype start = 0;
        for (qsizetype i = 0; i < m_size; ++i) {
            const char16_t c = chars[i];
            if (c > u'\r' || (c != u'\n' && c != u'\r'))
                continue;
            if (i - start > longestLength) {
                longestLength = i - start;
                m_longest = lineCount() - 1;
            }
            if (c == u'\r' && i + 1 < m_size && chars[i + 1] == u'\n')
                ++i;
            start = i + 1;
            m_starts.push_back(start);
        }
        if (m_size - start > longestLength)
            m_longest = lineCount() - 1;
    }

    bool sharesLines() const override { return false; }
    const QString& text() const override { return m_text; }
    qsizetype lineLength(qsizetype line) const override {
        if (line + 1 >= lineCount())
            return m_size - lineStart(line);
        const qsizetype next = lineStart(line + 1);
        const auto* chars = reinterpret_cast<const char16_t*>(m_text.utf16());
        const qsizetype breakLength =
            (chars[next - 1] == u'\n' && next - 2 >= lineStart(line) && chars[next - 2] == u'\r')
                ? 2
                : 1;
        return next - breakLength - lineStart(line);
    }
    QString lineText(qsizetype line) const override {
        return m_text.mid(lineStart(line), lineLength(line));
    }
    QString range(qsizetype from, qsizetype to) const override {
        return m_text.mid(from, to - from);
    }

private:
    QString m_text;
};

// How the shared forms read their lines: a list of texts, or drawn files made into paths when
// asked.
qsizetype lineSize(const QStringList& lines, qsizetype i) {
    return lines[i].size();
}
qsizetype lineSize(const DrawnFiles& lines, qsizetype i) {
    return lines.length(i);
}
const QString& lineAt(const QStringList& lines, qsizetype i) {
    return lines[i];
}
QString lineAt(const DrawnFiles& lines, qsizetype i) {
    return lines.at(i);
}

// Lines shared with the caller, each followed by the ending and CR LF; the text is built once,
// when first asked for.
template <class Lines> class SharedLines final : public SummaryTextModel::Storage {
public:
    SharedLines(const Lines& lines, const QString& ending)
        : m_lines(lines), m_ending(ending), m_textBuilt(lines.isEmpty()) {
        // One pass over the lines' sizes, known without making the lines.
        m_starts.clear();
        m_starts.reserve(static_cast<std::size_t>(lines.size()) + 1);
        const qsizetype extra = ending.size() + LineBreak.size();
        qsizetype offset = 0;
        qsizetype longestLength = -1;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            m_starts.push_back(offset);
            const qsizetype length = lineSize(lines, i);
            if (length > longestLength) {
                longestLength = length;
                m_longest = i;
            }
            offset += length + extra;
        }
        m_starts.push_back(offset);
        m_size = offset;
    }

    bool sharesLines() const override { return true; }
    const QString& text() const override {
        if (!m_textBuilt) {
            m_text = assemble(0, m_size);
            m_textBuilt = true;
        }
        return m_text;
    }
    qsizetype lineLength(qsizetype line) const override {
        if (line >= m_lines.size())
            return 0;
        return lineSize(m_lines, line) + m_ending.size();
    }
    QString lineText(qsizetype line) const override {
        return line < m_lines.size() ? lineAt(m_lines, line) + m_ending : QString();
    }
    QString range(qsizetype from, qsizetype to) const override {
        if (m_textBuilt)
            return m_text.mid(from, to - from);
        return assemble(from, to);
    }

private:
    QString assemble(qsizetype from, qsizetype to) const {
        QString out;
        out.reserve(to - from);
        for (qsizetype line = lineOf(from); line < m_lines.size(); ++line) {
            const qsizetype start = lineStart(line);
            if (start >= to)
                break;
            const auto& path = lineAt(m_lines, line);
            appendOverlap(out, path, start, from, to);
            appendOverlap(out, m_ending, start + path.size(), from, to);
            appendOverlap(out, LineBreak, start + path.size() + m_ending.size(), from, to);
        }
        return out;
    }

    Lines m_lines;
    QString m_ending;
    mutable QString m_text;
    mutable bool m_textBuilt;
};

} // namespace

SummaryTextModel::SummaryTextModel() : m_storage(std::make_unique<OwnText>(QString())) {}

SummaryTextModel::~SummaryTextModel() = default;

bool SummaryTextModel::setText(const QString& text) {
    if (!m_storage->sharesLines() && text.size() == m_storage->text().size() &&
        text == m_storage->text())
        return false;
    m_storage = std::make_unique<OwnText>(text);
    return true;
}

void SummaryTextModel::setLines(const QStringList& lines, const QString& ending) {
    m_storage = std::make_unique<SharedLines<QStringList>>(lines, ending);
}

void SummaryTextModel::setLines(const DrawnFiles& lines, const QString& ending) {
    m_storage = std::make_unique<SharedLines<DrawnFiles>>(lines, ending);
}

const QString& SummaryTextModel::text() const {
    return m_storage->text();
}

bool SummaryTextModel::sharesLines() const {
    return m_storage->sharesLines();
}

qsizetype SummaryTextModel::size() const {
    return m_storage->m_size;
}

qsizetype SummaryTextModel::lineCount() const {
    return m_storage->lineCount();
}

qsizetype SummaryTextModel::lineStart(qsizetype line) const {
    return m_storage->lineStart(line);
}

qsizetype SummaryTextModel::lineLength(qsizetype line) const {
    return m_storage->lineLength(line);
}

QString SummaryTextModel::lineText(qsizetype line) const {
    if (line < 0 || line >= lineCount())
        return {};
    return m_storage->lineText(line);
}

QString SummaryTextModel::shownLine(qsizetype line) const {
    QString shown = lineText(line);
    if (m_storage->sharesLines()) {
        for (QChar& c : shown) {
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                c = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

qsizetype SummaryTextModel::lineOf(qsizetype offset) const {
    return m_storage->lineOf(offset);
}

QString SummaryTextModel::textRange(qsizetype from, qsizetype to) const {
    const qsizetype size = m_storage->m_size;
    from = std::clamp<qsizetype>(from, 0, size);
    to = std::clamp<qsizetype>(to, from, size);
    return m_storage->range(from, to);
}

qsizetype SummaryTextModel::clampOffset(qsizetype offset) const {
    offset = std::clamp<qsizetype>(offset, 0, size());
    const qsizetype line = lineOf(offset);
    // Never inside a line break: such an offset stands for the end of its line.
    return std::min(offset, lineStart(line) + lineLength(line));
}

qsizetype SummaryTextModel::longestLine() const {
    return m_storage->m_longest;
}

} // namespace Delete1
