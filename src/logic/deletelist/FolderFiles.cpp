#include "deletelist/FolderFiles.h"

#include "common/ErrorReport.h"

#include <algorithm>
#include <limits>

namespace Delete1 {

QByteArrayView FolderFiles::name(qsizetype i) const {
    const auto at = static_cast<std::size_t>(i);
    const qsizetype begin = at == 0 ? 0 : m_ends[at - 1];
    return QByteArrayView(m_names.constData() + begin, m_ends[at] - begin);
}

qsizetype FolderFiles::nameLength(qsizetype i) const {
    const QByteArrayView bytes = name(i);
    if (m_ascii)
        return bytes.size();
    // Names are valid UTF-8: every byte but a continuation byte starts a character, and one of
    // four bytes (from U+10000 on) takes two UTF-16 code units.
    qsizetype units = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) == 0x80 ? 0 : (byte >= 0xF0 ? 2 : 1);
    }
    return units;
}

QString FolderFiles::at(qsizetype i) const {
    const QByteArrayView bytes = name(i);
    if (!m_ascii)
        return m_folder + QString::fromUtf8(bytes);
    QString path;
    path.reserve(m_folder.size() + bytes.size());
    path.append(m_folder);
    path.append(QLatin1StringView(bytes.data(), bytes.size()));
    return path;
}

QStringList FolderFiles::paths() const {
    QStringList all;
    all.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        all.append(at(i));
    return all;
}

namespace {

inline void prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

} // namespace

void FolderFiles::prefetchEnd(qsizetype i) const {
    prefetch(&m_ends[static_cast<std::size_t>(i)]);
}

void FolderFiles::prefetchName(qsizetype i) const {
    prefetch(name(i).data());
}

void FolderFiles::append(QByteArrayView name) {
    if (static_cast<quint64>(m_names.size()) + static_cast<quint64>(name.size()) >
        std::numeric_limits<quint32>::max())
        throw Failure(QStringLiteral("Too many files to list in ") + m_folder);
    if (m_ascii) {
        for (const char c : name)
            m_ascii = m_ascii && static_cast<unsigned char>(c) < 0x80;
    }
    m_names.append(name);
    m_ends.push_back(static_cast<quint32>(m_names.size()));
}

void FolderFiles::squeeze() {
    m_names.squeeze();
    m_ends.shrink_to_fit();
}

PooledListings::PooledListings(std::vector<const FolderFiles*> listings) {
    m_listings.reserve(listings.size());
    m_starts.reserve(listings.size());
    for (const FolderFiles* files : listings) {
        if (files == nullptr || files->isEmpty())
            continue;
        m_listings.push_back(files);
        m_starts.push_back(m_size);
        m_size += files->size();
    }
}

std::pair<const FolderFiles*, qsizetype> PooledListings::place(qsizetype position) const {
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), position);
    const auto listing = static_cast<std::size_t>(after - m_starts.begin()) - 1;
    return {m_listings[listing], position - m_starts[listing]};
}

QStringList PooledListings::paths(const std::vector<qsizetype>& positions) const {
    QStringList result;
    result.reserve(static_cast<qsizetype>(positions.size()));
    visit(positions, [&](const FolderFiles& files, qsizetype at) { result.append(files.at(at)); });
    return result;
}

} // namespace Delete1
