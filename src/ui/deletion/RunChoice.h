#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace RunRecord {
struct Run;
}

// A recorded run as the window offers it for putting back: how it is named, how many of its files
// are still in the trash, and why it cannot go back when it cannot.
struct RunChoice {
    enum class Block {
        None,           // it can be put back
        Unreadable,     // the record cannot be read (detail says why)
        Moving,         // its trash run is still moving files
        NothingInTrash, // none of its files is in the trash any more
        RecycleBinOnly, // the trash took its files without saying where
        PlacesTaken,    // every file still in the trash has its place taken
        Damaged,        // the record's lines for its files in the trash cannot be read
    };

    QString id;
    QString title; // "run 7 of …" as every put-back message names it
    qsizetype files = 0;
    qsizetype inTrash = 0;
    qsizetype placesTaken = 0; // of those in the trash, how many have another file in their place
    Block block = Block::None;
    QString detail; // the reason a record could not be read

    [[nodiscard]] bool canPutBack() const { return block == Block::None; }
    // The title as a sentence starts: "Run 7 of …".
    [[nodiscard]] QString sentenceTitle() const;
    // Why it cannot go back, as a whole sentence about "it"; empty when it can.
    [[nodiscard]] QString whyNot() const;
    // The same about the last run, named by its title.
    [[nodiscard]] QString whyNotLast() const;
    // "2 of 3 files in the trash", or the reason it cannot go back.
    [[nodiscard]] QString state() const;
};

namespace RunChoices {

// The name of a run in every message and row of the window.
QString titleOf(const RunRecord::Run& run);

// How far to look: every file, or only until one file is found that can go back (its counts are
// then only those seen so far; whether it can go back is known all the same).
enum class Look { Everything, UntilOneCanGo };

// The choice for one recorded run, looked at now.
RunChoice look(const QString& id, Look how = Look::Everything);

// Every recorded run, newest first.
std::vector<RunChoice> all();

// The newest recorded run; no value, and a whole sentence saying why, when none can be read (no
// run recorded, a runs folder that cannot be trusted).
std::optional<RunChoice> last(QString& why, Look how = Look::Everything);

// The question asked before a run goes back: it names the run and what is still in the trash.
QString question(const RunChoice& run, bool isLast);

// Makes a reason given in lower case without a full stop a whole sentence.
QString sentence(const QString& text);

} // namespace RunChoices
