#pragma once

class QTextStream;

namespace Help {

// `thinwick --self-check`, for whoever installs or packages the program: starts the window
// without showing it, writes where the program found its files and what it made of them, and
// returns 0 when the hand pointer, the drag pointer and at least one sample file were found, 1
// otherwise. It writes nothing: neither the setting nor the per-user sample copy.
int selfCheck(QTextStream& out);

} // namespace Help
