#include "deletelist/DrawnFiles.h"

#include <algorithm>

namespace Delete1 {

DrawnFiles::DrawnFiles(const Listings& listings, const std::vector<qsizetype>& positions) {
    if (positions.empty())
        return;
    auto data = std::make_shared<Data>();
    // Only the listings that hold a file take a place in the pool, and only they are kept.
    std::vector<qsizetype> starts;
    qsizetype size = 0;
    for (const auto& files : listings) {
        if (!files || files->isEmpty())
            continue;
        data->listings.push_back(files);
        starts.push_back(size);
        size += files->size();
    }
    data->entries.reserve(positions.size());
    for (const qsizetype position : positions) {
        const auto after = std::upper_bound(starts.begin(), starts.end(), position);
        const auto listing = static_cast<std::size_t>(after - starts.begin()) - 1;
        data->entries.push_back(
            {static_cast<quint32>(listing), static_cast<quint32>(position - starts[listing])});
    }
    m_data = std::move(data);
}

qsizetype DrawnFiles::size() const {
    return m_data ? static_cast<qsizetype>(m_data->entries.size()) : 0;
}

QString DrawnFiles::at(qsizetype i) const {
    const Entry& entry = m_data->entries[static_cast<std::size_t>(i)];
    return m_data->listings[entry.listing]->at(entry.file);
}

qsizetype DrawnFiles::length(qsizetype i) const {
    const Entry& entry = m_data->entries[static_cast<std::size_t>(i)];
    const FolderFiles& files = *m_data->listings[entry.listing];
    return files.folder().size() + files.nameLength(entry.file);
}

QStringList DrawnFiles::paths() const {
    QStringList all;
    all.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        all.append(at(i));
    return all;
}

void DrawnFiles::remove(qsizetype first, qsizetype count) {
    if (count <= 0)
        return;
    // A copy that shares the data gets its own before it changes.
    if (m_data.use_count() > 1)
        m_data = std::make_shared<Data>(*m_data);
    auto& entries = m_data->entries;
    entries.erase(entries.begin() + first, entries.begin() + first + count);
}

} // namespace Delete1
