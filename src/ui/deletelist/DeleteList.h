#pragma once

#include "deletelist/ListingCache.h"
#include "deletelist/NameFilter.h"
#include "deletelist/SummaryText.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <Qt>
#include <optional>

class BusyState;
class Dialogs;
class ListView;
class SummaryBox;
class TextBox;

namespace Main {
class ErrorTrap;
} // namespace Main

// The delete list (ListView3), its summary box (Text4) and the number box (Text1): the rebuild
// from the source rows with the listings kept between rebuilds, the generate and clear buttons,
// the delete key, and the two name filters. It reads the source rows and writes nothing else.
class DeleteListController : public QObject {
    Q_OBJECT
public:
    // appTitle is read when a message is shown: the window sets it during start-up.
    DeleteListController(const ListView& sources, TextBox& number, ListView& deleteList,
                         SummaryBox& summary, Dialogs& dialogs, const QString& appTitle,
                         BusyState& busy, QObject* parent = nullptr);

    // Each source folder's files, kept between rebuilds while the folder is unchanged.
    Delete1::ListingCache& listingCache() { return m_cache; }
    // Keeps a listing another subsystem read anyway (the subfolder walk) for the next rebuild.
    void keepListing(Delete1::FolderListing&& listing);

    // Clears the delete list and the summary, then fills both from a fresh draw over the sources.
    // Every other handler waits until it is done.
    void CorrelateListviewsWrapper();
    // Pools the ordinary files of every source row and draws from them for the count in the
    // number box. The rows that yield no file are named in one message box at the end. A folder
    // unchanged since it was last listed is not read again. The window repaints during a long
    // listing; its input waits until the draw is made. The files come as paths made when read.
    Delete1::DrawnFiles randomFileList();

    // The number box: a change saves the count and draws again; leaving it empty sets 1.
    void numberChanged();
    void validateNumber();
    // "2. Start Generating List": lists every folder afresh and draws.
    void generate();
    // "Clear List" and the delete key.
    void clear();
    void keyDown(int keyCode);

    // "Remove Filenames Containing X" and "Remove Filenames Not Cont. X": ask, then filter.
    void removeContainingClick();
    void removeNotContainingClick();
    // Removes every row of the list whose text contains (does not contain) the search text,
    // case-insensitive, then rewrites the summary box as the remaining paths, each followed by
    // CR LF.
    void RemoveItemsWith(ListView& list, const QString& text);
    void RemoveItemsWithout(ListView& list, const QString& text);
    // The filter up to the summary box: scans the rows, writes the kept rows to the list and
    // answers the new summary text. No value when the scan was abandoned because the list changed
    // or the window closed while it yielded; the list and the summary box are then left alone.
    std::optional<QString> filterListRows(ListView& list, const QString& text,
                                          Main::NameFilterKind kind, Main::ErrorTrap& trap);

private:
    void removeItems(ListView& list, const QString& text, Main::NameFilterKind kind,
                     const char* location);
    void filterClick(const char* location, const QString& prompt, Main::NameFilterKind kind);

    const ListView& m_sources;
    TextBox& m_number;
    ListView& m_deleteList;
    SummaryBox& m_summary;
    Dialogs& m_dialogs;
    const QString& m_appTitle;
    BusyState& m_busy;
    Delete1::ListingCache m_cache;
};
