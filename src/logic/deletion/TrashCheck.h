#pragma once

#include <QString>
#include <memory>

// Whether the trash that would take a file can be used, found as a move finds it but without
// making or changing anything: so a run can name the files that would stay before it asks and
// before it moves any.
class TrashCheck {
public:
    TrashCheck();
    ~TrashCheck();
    TrashCheck(const TrashCheck&) = delete;
    TrashCheck& operator=(const TrashCheck&) = delete;
    // Empty when a trash can take the file (or when there is nothing to move at the path, which
    // the move itself reports), else why none can. The platform's trash may not tell before it
    // tries: then the answer is empty and the move says.
    QString problemFor(const QString& path);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
